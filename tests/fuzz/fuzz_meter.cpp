// SPDX-License-Identifier: ISC
// Coverage-guided fuzzer: the input bytes are a script of host operations
// on up to six meter instances, two each of tolvanic, the inline variant and
// the stereo variant (instantiate at any rate, connect any port index to
// any buffer or to a pointer that must never be read, set the reset control
// to any bit pattern, run blocks of any length of raw float bit patterns,
// clean up). Every run is checked bit for bit against the reference model,
// one per channel, including which output ports were written, and against
// the promises a host relies on; the variants' audio outputs, on buffers of
// their own or on any input's, must equal their inputs bit for bit, and
// their mixer-strip pictures, rendered at any size, must fit the size asked
// for and be read within their bounds. Any mismatch aborts, which libFuzzer
// reports as a finding.
#include "display/inline_display.h"
#include "inline/inline_meter.h"
#include "reference_meter.h"
#include "stereo/stereo_meter.h"
#include "test_meter.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace {

constexpr uint32_t MAX_BLOCK = 4096;
constexpr int MAX_OPERATIONS = 200;
constexpr int SLOTS = 6;
constexpr uint32_t MAX_CHANNELS = 2;
constexpr uint32_t MAX_READINGS = 3 * MAX_CHANNELS;

// Where a plug-in's ports are: per channel an audio input and, for the
// variants, an audio output; one reset; three readings per channel (level,
// peak hold, RMS), the first channel's first.
struct Shape {
  uint32_t channels;
  uint32_t inputs[MAX_CHANNELS];
  uint32_t outputs[MAX_CHANNELS];
  bool passes_audio;
  uint32_t reset;
  uint32_t first_reading;
  uint32_t ports;
};

constexpr Shape TOLVANIC = { 1,          { PORT_INPUT }, {},         false,
                             PORT_RESET, PORT_LEVEL,     METER_PORTS };
constexpr Shape INLINE = { 1,          { PORT_INPUT }, { PORT_OUTPUT },   true,
                           PORT_RESET, PORT_LEVEL,     INLINE_METER_PORTS };
constexpr Shape STEREO = { 2,
                           { STEREO_IN_L, STEREO_IN_R },
                           { STEREO_OUT_L, STEREO_OUT_R },
                           true,
                           STEREO_RESET,
                           STEREO_LEVEL_L,
                           STEREO_METER_PORTS };

[[noreturn]] void fail(const char* what, uint32_t detail = 0)
{
  std::fprintf(stderr, "fuzz_meter: %s (%u)\n", what, detail);
  std::abort();
}

template<typename To, typename From>
To bit_cast(From from)
{
  static_assert(sizeof(To) == sizeof(From));
  To to;
  std::memcpy(&to, &from, sizeof to);
  return to;
}

double any_rate(FuzzedDataProvider& in)
{
  constexpr double inf = std::numeric_limits<double>::infinity();
  static constexpr double rates[] = {
    48000.0, 44100.0, 96000.0, 192000.0,
    8000.0,  22050.0, 9.72,    4.86,
    1.0,     0.0,     -0.0,    -48000.0,
    1e-300,  5e-324,  1e300,   3.5e38,
    1e-40,   inf,     -inf,    std::numeric_limits<double>::quiet_NaN(),
  };
  if (in.ConsumeBool()) {
    return bit_cast<double>(in.ConsumeIntegral<uint64_t>());
  }
  return rates[in.ConsumeIntegralInRange<size_t>(0, std::size(rates) - 1)];
}

float any_reset(FuzzedDataProvider& in)
{
  static constexpr float resets[] = { 0.0f, 1.0f, -0.0f, -1.0f, 0.5f, 1e-45f };
  if (in.ConsumeBool()) {
    return bit_cast<float>(in.ConsumeIntegral<uint32_t>());
  }
  return resets[in.ConsumeIntegralInRange<size_t>(0, std::size(resets) - 1)];
}

// One instance with the host-side buffers it can be connected to. Each
// control port has two buffers, so reconnection is observable.
struct Slot {
  const LV2_Descriptor* plugin = nullptr;
  const Shape* shape = nullptr;
  LV2_Handle handle = nullptr;
  std::unique_ptr<ReferenceMeter> reference[MAX_CHANNELS];
  float reset[2] = {};
  float outputs[MAX_READINGS][2] = {}; // two buffers each
  // Which buffer each control port points at; -1: a pointer that must not
  // be read or written (null or a bogus address), to be replaced by the
  // harness before the next run, as a host would.
  int reset_buffer = -1;
  int output_buffer[MAX_READINGS] = { -1, -1, -1, -1, -1, -1 };
  bool reset_was_high = false;
  float last_peak[MAX_CHANNELS] = {};
};

// Two slots each host tolvanic, the inline variant and the stereo variant.
void assign_plugin(Slot& slot, int index)
{
  switch (index / 2) {
    case 0: slot.plugin = lv2_descriptor(0), slot.shape = &TOLVANIC; break;
    case 1: slot.plugin = &inline_meter_descriptor, slot.shape = &INLINE; break;
    default: slot.plugin = &stereo_meter_descriptor, slot.shape = &STEREO;
  }
}

uint32_t readings(const Slot& slot)
{
  return 3 * slot.shape->channels;
}

void* unreadable_pointer(FuzzedDataProvider& in)
{
  // Null, as hosts connect right after instantiation, or an address that
  // faults on any access.
  return in.ConsumeBool() ? nullptr : reinterpret_cast<void*>(uintptr_t{ 8 });
}

// The host's request for a new picture, which run may make; a host
// renders later, as render() here does.
void queue_draw(void*) {}
InlineDisplayQueue queue = { nullptr, queue_draw };
const LV2_Feature queue_feature = { INLINE_DISPLAY_QUEUE_DRAW_URI, &queue };
const LV2_Feature* const with_queue[] = { &queue_feature, nullptr };

void instantiate(Slot& slot, FuzzedDataProvider& in)
{
  const double rate = any_rate(in);
  const LV2_Feature* const* features = in.ConsumeBool() ? with_queue : nullptr;
  slot.handle = slot.plugin->instantiate(slot.plugin, rate, "", features);
  if (slot.handle == nullptr) {
    fail("instantiate returned null");
  }
  for (uint32_t channel = 0; channel < slot.shape->channels; ++channel) {
    slot.reference[channel] = std::make_unique<ReferenceMeter>(rate);
    slot.last_peak[channel] = 0.0f;
  }
  for (uint32_t port = 0; port < slot.shape->ports; ++port) {
    slot.plugin->connect_port(slot.handle, port, nullptr);
  }
  slot.reset_buffer = -1;
  for (int& buffer : slot.output_buffer) {
    buffer = -1;
  }
  slot.reset[0] = slot.reset[1] = 0.0f;
  slot.reset_was_high = false;
}

void cleanup(Slot& slot)
{
  slot.plugin->cleanup(slot.handle);
  slot.handle = nullptr;
  for (auto& reference : slot.reference) {
    reference.reset();
  }
}

void connect(Slot& slot, FuzzedDataProvider& in)
{
  // Mostly the plug-in's real ports, now and then any index at all.
  const uint32_t port =
    in.ConsumeBool()
      ? in.ConsumeIntegralInRange<uint32_t>(0, slot.shape->ports + 2)
      : in.ConsumeIntegral<uint32_t>();
  const bool usable = in.ConsumeBool();
  const int buffer = in.ConsumeIntegralInRange<int>(0, 1);
  const Shape& shape = *slot.shape;
  const bool reading =
    port >= shape.first_reading && port < shape.first_reading + readings(slot);
  if ((port != shape.reset && !reading) || !usable) {
    // Ignored indices must leave the instance as it was; an audio or a
    // control port connected here is rewired before the next run.
    slot.plugin->connect_port(slot.handle, port, unreadable_pointer(in));
    if (port == shape.reset) slot.reset_buffer = -1;
    if (reading) slot.output_buffer[port - shape.first_reading] = -1;
    return;
  }
  if (port == shape.reset) {
    slot.plugin->connect_port(slot.handle, port, &slot.reset[buffer]);
    slot.reset_buffer = buffer;
  } else {
    const uint32_t output = port - shape.first_reading;
    slot.plugin->connect_port(slot.handle, port, &slot.outputs[output][buffer]);
    slot.output_buffer[output] = buffer;
  }
}

// Samples are raw bit patterns from the input, repeated to fill the block.
std::vector<float> block_samples(FuzzedDataProvider& in, uint32_t count)
{
  const std::vector<uint8_t> bytes = in.ConsumeBytes<uint8_t>(
    std::min<size_t>(size_t{ count } * sizeof(float), 256));
  std::vector<float> samples(count);
  const size_t whole = bytes.size() / sizeof(float);
  for (uint32_t i = 0; i < count && whole > 0; ++i) {
    std::memcpy(&samples[i], &bytes[(i % whole) * sizeof(float)], 4);
  }
  return samples;
}

void check_port(float value,
                const std::optional<float>& expected,
                uint32_t which)
{
  if (written(value) != expected.has_value()) {
    fail("an output port was written when it should not, or not written",
         which);
  }
  if (expected && bits_of(value) != bits_of(*expected)) {
    fail("an output differs from the reference model", which);
  }
  if (expected && !(std::isfinite(value) && value >= 0.0f)) {
    fail("a published value is negative or not finite", which);
  }
}

// The host's audio buffers for one run: the first channel's samples (A),
// the second's (B), and an output buffer of its own for each channel (C,
// D). Each holds exactly the block, so the sanitizer catches any access
// past it.
enum { A, B, C, D, AUDIO_BUFFERS };

void run(Slot& slot, FuzzedDataProvider& in)
{
  const Shape& shape = *slot.shape;
  uint32_t count = in.ConsumeIntegralInRange<uint32_t>(0, MAX_BLOCK);
  if (in.ConsumeBool()) {
    static constexpr uint32_t usual[] = { 0, 1, 64, 128, 256, 512, 1024 };
    count = usual[in.ConsumeIntegralInRange<size_t>(0, std::size(usual) - 1)];
  }
  std::vector<float> audio[AUDIO_BUFFERS];
  audio[A] = block_samples(in, count);
  // A second channel has samples of its own, or is fed the first's buffer.
  int input_of[MAX_CHANNELS] = { A, B };
  if (shape.channels == 2) {
    if (in.ConsumeBool()) {
      input_of[1] = A;
    } else {
      audio[B] = block_samples(in, count);
    }
  }
  audio[C].assign(count, unwritten());
  audio[D].assign(count, unwritten());
  // Each audio output goes to a buffer of its own or to any input's; two
  // outputs never share one.
  int output_of[MAX_CHANNELS] = { C, D };
  for (uint32_t channel = 0; shape.passes_audio && channel < shape.channels;
       ++channel) {
    const int choice = in.ConsumeIntegralInRange<int>(0, 2);
    const bool second_input = choice == 2 && shape.channels == 2;
    output_of[channel] = choice == 0 ? C + static_cast<int>(channel)
                                     : input_of[second_input ? 1 : 0];
  }
  if (output_of[1] == output_of[0]) {
    output_of[1] = D;
  }
  const std::vector<float> original[MAX_CHANNELS] = { audio[input_of[0]],
                                                      audio[input_of[1]] };

  // A host connects every port before it runs.
  if (slot.reset_buffer < 0) {
    slot.reset_buffer = 0;
    slot.plugin->connect_port(slot.handle, shape.reset, &slot.reset[0]);
  }
  for (uint32_t output = 0; output < readings(slot); ++output) {
    if (slot.output_buffer[output] < 0) {
      slot.output_buffer[output] = 0;
      slot.plugin->connect_port(
        slot.handle, shape.first_reading + output, &slot.outputs[output][0]);
    }
    slot.outputs[output][0] = slot.outputs[output][1] = unwritten();
  }
  const auto buffer = [&](int which) {
    return count == 0 ? nullptr : audio[which].data();
  };
  for (uint32_t channel = 0; channel < shape.channels; ++channel) {
    slot.plugin->connect_port(
      slot.handle, shape.inputs[channel], buffer(input_of[channel]));
    if (shape.passes_audio) {
      slot.plugin->connect_port(
        slot.handle, shape.outputs[channel], buffer(output_of[channel]));
    }
  }

  const float reset = slot.reset[slot.reset_buffer];
  ReferenceOutputs expected[MAX_CHANNELS];
  for (uint32_t channel = 0; channel < shape.channels; ++channel) {
    expected[channel] =
      slot.reference[channel]->run(original[channel].data(), count, reset);
  }
  slot.plugin->run(slot.handle, count);

  for (uint32_t channel = 0; shape.passes_audio && channel < shape.channels;
       ++channel) {
    const std::vector<float>& passed = audio[output_of[channel]];
    if (count != 0 && std::memcmp(passed.data(),
                                  original[channel].data(),
                                  count * sizeof(float))) {
      fail("the audio output differs from the input", channel);
    }
  }
  for (const int own : { C, D }) {
    const bool used =
      own == output_of[0] || (shape.channels == 2 && own == output_of[1]);
    for (const float sample : audio[own]) {
      if (!used && written(sample)) {
        fail("an audio buffer no port points at was written",
             static_cast<uint32_t>(own));
      }
    }
  }

  for (uint32_t channel = 0; channel < shape.channels; ++channel) {
    const std::optional<float> expected_ports[3] = { expected[channel].level,
                                                     expected[channel].peak,
                                                     expected[channel].rms };
    for (uint32_t reading = 0; reading < 3; ++reading) {
      const uint32_t output = 3 * channel + reading;
      const int used = slot.output_buffer[output];
      check_port(slot.outputs[output][used], expected_ports[reading], output);
      if (written(slot.outputs[output][1 - used])) {
        fail("a disconnected output buffer was written", output);
      }
    }

    // The peak hold only falls at a rising edge of the reset control, or
    // to 0 after an infinite sample.
    const uint32_t peak_output = 3 * channel + 1;
    const float peak =
      slot.outputs[peak_output][slot.output_buffer[peak_output]];
    const bool rising_edge = reset > 0.0f && !slot.reset_was_high;
    bool infinite = false;
    for (const float x : original[channel]) {
      infinite = infinite || std::isinf(x);
    }
    if (peak < slot.last_peak[channel] && !rising_edge &&
        !(infinite && peak == 0.0f)) {
      fail("the peak hold fell without a reset", count);
    }
    slot.last_peak[channel] = peak;
  }
  slot.reset_was_high = reset > 0.0f;
}

// The GUI thread's call, at any size: the picture fits it, and every byte
// of it is read, which AddressSanitizer checks against its allocation.
void render(Slot& slot, FuzzedDataProvider& in)
{
  const auto* display = static_cast<const InlineDisplayInterface*>(
    slot.plugin->extension_data(INLINE_DISPLAY_INTERFACE_URI));
  if (display == nullptr) {
    return;
  }
  const uint32_t width = in.ConsumeBool()
                           ? in.ConsumeIntegralInRange<uint32_t>(0, 300)
                           : in.ConsumeIntegral<uint32_t>();
  const uint32_t height = in.ConsumeBool()
                            ? in.ConsumeIntegralInRange<uint32_t>(0, 300)
                            : in.ConsumeIntegral<uint32_t>();
  const InlineDisplaySurface* surface =
    display->render(slot.handle, width, height);
  if (surface == nullptr) {
    return;
  }
  if (surface->width <= 0 || surface->height <= 0 ||
      static_cast<uint32_t>(surface->width) > width ||
      static_cast<uint32_t>(surface->height) > height ||
      surface->stride < 4 * surface->width) {
    fail("the picture does not fit the size asked for", width);
  }
  unsigned sum = 0;
  for (int y = 0; y < surface->height; ++y) {
    for (int x = 0; x < 4 * surface->width; ++x) {
      sum += surface->data[y * surface->stride + x];
    }
  }
  if (sum == 0) {
    fail("the picture is empty", width);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  FuzzedDataProvider in(data, size);
  Slot slots[SLOTS];
  for (int operation = 0;
       operation < MAX_OPERATIONS && in.remaining_bytes() > 0;
       ++operation) {
    const int index = in.ConsumeIntegralInRange<int>(0, SLOTS - 1);
    Slot& slot = slots[index];
    assign_plugin(slot, index);
    const int kind = in.ConsumeIntegralInRange<int>(0, 8);
    if (slot.handle == nullptr || kind == 0) {
      if (slot.handle != nullptr) cleanup(slot);
      instantiate(slot, in);
    } else if (kind == 1) {
      cleanup(slot);
    } else if (kind <= 3) {
      connect(slot, in);
    } else if (kind == 4) {
      slot.reset[in.ConsumeIntegralInRange<int>(0, 1)] = any_reset(in);
    } else if (kind == 8) {
      render(slot, in);
    } else {
      run(slot, in);
    }
  }
  for (Slot& slot : slots) {
    if (slot.handle != nullptr) cleanup(slot);
  }
  return 0;
}
