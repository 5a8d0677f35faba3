# SPDX-License-Identifier: ISC
"""The inline and stereo variants as GStreamer elements (gst-plugins-bad's
LV2 wrapper): each registers, a pipeline through it runs, the audio comes
out bit for bit as it went in, and the readings read back as the element's
properties; the stereo element's, per channel, for a tone that differs
between the channels. Prints "ok:" per promise kept, "FAIL:" per promise
broken, "seen:" for the values read."""
import array
import math
import sys

import gi

gi.require_version("Gst", "1.0")
from gi.repository import Gst  # noqa: E402

ELEMENT = "tolvanic-org-oss-lv2-tolvanic-inline"
STEREO_ELEMENT = "tolvanic-org-oss-lv2-tolvanic-stereo"
AMPLITUDE = 0.5
# A smoothed sine ripples a little about its mean square.
RIPPLE_DB = 0.01
CAPS = "audio/x-raw,format=F32LE,rate=48000,channels=1"
# One second of a 1 kHz sine at -6 dBFS, in buffers of 10 ms.
SOURCE = (f"audiotestsrc wave=sine freq=1000 volume={AMPLITUDE} "
          f"num-buffers=100 samplesperbuffer=480 ! {CAPS}")

failures = 0


def check(ok, what):
    global failures
    print(("ok: " if ok else "FAIL: ") + what)
    failures += 0 if ok else 1


def within_step(value, expected):
    """Level and RMS are published when they move by more than 0.2 dB."""
    return value > 0 and abs(20 * math.log10(value / expected)) <= 0.2 + RIPPLE_DB


def play(description, feed=None):
    """Runs a pipeline to its end; returns it and the bytes its appsink got.
    With feed, the pipeline's appsrc named src is given those buffers."""
    pipeline = Gst.parse_launch(description)
    sink = pipeline.get_by_name("sink")
    if feed is not None:
        source = pipeline.get_by_name("src")
        for data in feed:
            source.emit("push-buffer", Gst.Buffer.new_wrapped(data))
        source.emit("end-of-stream")
    received = bytearray()

    def on_sample(appsink):
        buffer = appsink.emit("pull-sample").get_buffer()
        received.extend(buffer.extract_dup(0, buffer.get_size()))
        return Gst.FlowReturn.OK

    sink.connect("new-sample", on_sample)
    pipeline.set_state(Gst.State.PLAYING)
    message = pipeline.get_bus().timed_pop_filtered(
        30 * Gst.SECOND, Gst.MessageType.EOS | Gst.MessageType.ERROR)
    pipeline.set_state(Gst.State.NULL)
    if message is None or message.type != Gst.MessageType.EOS:
        error = message.parse_error()[0].message if message else "timeout"
        check(False, f"pipeline '{description}' ran to its end: {error}")
    return pipeline, bytes(received)


def stereo_tone(frames):
    """A 1 kHz sine at 0.5 on the left, a 250 Hz one at 0.125 on the right,
    as 32-bit floats, interleaved; and each channel alone."""
    left = array.array("f", (0.5 * math.sin(2 * math.pi * 1000 * n / 48000)
                             for n in range(frames)))
    right = array.array("f", (0.125 * math.sin(2 * math.pi * 250 * n / 48000)
                              for n in range(frames)))
    frames_lr = array.array("f", (x for pair in zip(left, right) for x in pair))
    return frames_lr, left, right


def check_stereo():
    check(Gst.ElementFactory.find(STEREO_ELEMENT) is not None,
          f"the stereo variant registers as element {STEREO_ELEMENT}")
    tone, left, right = stereo_tone(48000)
    data = tone.tobytes()
    # One second in buffers of 10 ms (480 frames of 8 bytes).
    buffers = [data[i:i + 3840] for i in range(0, len(data), 3840)]
    caps = ("audio/x-raw,format=F32LE,rate=48000,channels=2,"
            "layout=interleaved")
    appsink = "appsink name=sink emit-signals=true sync=false"
    pipeline, metered = play(
        f"appsrc name=src caps={caps} format=time ! "
        f"{STEREO_ELEMENT} name=meter ! {appsink}", buffers)
    check(metered == data,
          f"{len(metered)} bytes of 2 channels came through unchanged")

    meter = pipeline.get_by_name("meter")
    for side, samples, amplitude in (("l", left, 0.5), ("r", right, 0.125)):
        level, peak, rms = (meter.get_property(f"{name}-{side}")
                            for name in ("level", "peak", "rms"))
        print(f"seen: {side.upper()}: level {level:.6f}, peak {peak:.6f}, "
              f"rms {rms:.6f}")
        largest = max(abs(x) for x in samples)
        check(within_step(level, amplitude) and peak == largest and
              within_step(rms, amplitude / math.sqrt(2)),
              f"{side.upper()} reads its own tone: level {amplitude} within "
              f"0.2 dB, peak {largest:.6f}, RMS {amplitude / math.sqrt(2):.4f} "
              f"within 0.2 dB")


def main():
    Gst.init(None)
    check(Gst.ElementFactory.find(ELEMENT) is not None,
          f"the inline variant registers as element {ELEMENT}")
    appsink = "appsink name=sink emit-signals=true sync=false"
    _, direct = play(f"{SOURCE} ! {appsink}")
    pipeline, metered = play(f"{SOURCE} ! {ELEMENT} name=meter ! {appsink}")
    check(len(direct) == 48000 * 4 and metered == direct,
          f"{len(metered)} bytes came through the element unchanged")

    meter = pipeline.get_by_name("meter")
    level, peak, rms = (meter.get_property(name)
                        for name in ("level", "peak", "rms"))
    print(f"seen: level {level:.6f}, peak {peak:.6f}, rms {rms:.6f}")
    check(within_step(level, AMPLITUDE), "the level reads 0.5 within 0.2 dB")
    check(abs(peak - AMPLITUDE) < 1e-6, "the peak hold reads 0.5")
    check(within_step(rms, AMPLITUDE / math.sqrt(2)),
          "the RMS reads 0.3536 within 0.2 dB")
    check_stereo()
    print("done" if failures == 0 else f"done with {failures} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
