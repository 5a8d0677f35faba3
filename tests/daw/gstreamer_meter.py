# SPDX-License-Identifier: ISC
"""The inline variant as a GStreamer element (gst-plugins-bad's LV2 wrapper):
it registers, a pipeline from audiotestsrc through it runs, the audio comes
out bit for bit as it went in, and the readings read back as the element's
properties. Prints "ok:" per promise kept, "FAIL:" per promise broken."""
import math
import sys

import gi

gi.require_version("Gst", "1.0")
from gi.repository import Gst  # noqa: E402

ELEMENT = "tolvanic-org-oss-lv2-tolvanic-inline"
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


def play(description):
    """Runs a pipeline to its end; returns it and the bytes its appsink got."""
    pipeline = Gst.parse_launch(description)
    sink = pipeline.get_by_name("sink")
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
    print("done" if failures == 0 else f"done with {failures} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
