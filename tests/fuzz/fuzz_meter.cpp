// SPDX-License-Identifier: ISC
// Coverage-guided fuzzer: the input bytes are a script of host operations
// on up to four meter instances, two of tolvanic and two of the inline
// variant (instantiate at any rate, connect any port
// index to any buffer or to a pointer that must never be read, set the reset
// control to any bit pattern, run blocks of any length of raw float bit
// patterns, clean up). Every run is checked bit for bit against the
// reference model, including which output ports were written, and against
// the promises a host relies on; the inline variant's audio output, in
// place or not, must equal its input bit for bit, and its mixer-strip
// picture, rendered at any size, must fit the size asked for and be read
// within its bounds. Any mismatch aborts, which libFuzzer reports as a
// finding.
#include "display/inline_display.h"
#include "inline/inline_meter.h"
#include "reference_meter.h"
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
constexpr int SLOTS = 4;

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
  LV2_Handle handle = nullptr;
  std::unique_ptr<ReferenceMeter> reference;
  float reset[2] = {};
  float outputs[3][2] = {}; // level, peak, rms; two buffers each
  // Which buffer each control port points at; -1: a pointer that must not
  // be read or written (null or a bogus address), to be replaced by the
  // harness before the next run, as a host would.
  int reset_buffer = -1;
  int output_buffer[3] = { -1, -1, -1 };
  bool reset_was_high = false;
  float last_peak = 0.0f;
};

// The first half of the slots hosts tolvanic, the rest the inline variant,
// whose audio output must carry every block on unchanged.
const LV2_Descriptor& plugin_of_slot(int index)
{
  return index < SLOTS / 2 ? *lv2_descriptor(0) : inline_meter_descriptor;
}

bool passes_audio(const Slot& slot)
{
  return slot.plugin == &inline_meter_descriptor;
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
  slot.reference = std::make_unique<ReferenceMeter>(rate);
  for (uint32_t port = 0; port <= PORT_OUTPUT; ++port) {
    slot.plugin->connect_port(slot.handle, port, nullptr);
  }
  slot.reset_buffer = -1;
  slot.output_buffer[0] = slot.output_buffer[1] = slot.output_buffer[2] = -1;
  slot.reset[0] = slot.reset[1] = 0.0f;
  slot.reset_was_high = false;
  slot.last_peak = 0.0f;
}

void cleanup(Slot& slot)
{
  slot.plugin->cleanup(slot.handle);
  slot.handle = nullptr;
  slot.reference.reset();
}

void connect(Slot& slot, FuzzedDataProvider& in)
{
  // Mostly the five real ports, now and then any index at all.
  const uint32_t port = in.ConsumeBool()
                          ? in.ConsumeIntegralInRange<uint32_t>(0, 7)
                          : in.ConsumeIntegral<uint32_t>();
  const bool usable = in.ConsumeBool();
  const int buffer = in.ConsumeIntegralInRange<int>(0, 1);
  if (port > PORT_RMS || port == PORT_INPUT || !usable) {
    // Ignored indices must leave the instance as it was; an input or a
    // control port connected here is rewired before the next run.
    slot.plugin->connect_port(slot.handle, port, unreadable_pointer(in));
    if (port == PORT_RESET) slot.reset_buffer = -1;
    if (port >= PORT_LEVEL && port <= PORT_RMS) {
      slot.output_buffer[port - PORT_LEVEL] = -1;
    }
    return;
  }
  if (port == PORT_RESET) {
    slot.plugin->connect_port(slot.handle, port, &slot.reset[buffer]);
    slot.reset_buffer = buffer;
  } else {
    const uint32_t output = port - PORT_LEVEL;
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

void run(Slot& slot, FuzzedDataProvider& in)
{
  uint32_t count = in.ConsumeIntegralInRange<uint32_t>(0, MAX_BLOCK);
  if (in.ConsumeBool()) {
    static constexpr uint32_t usual[] = { 0, 1, 64, 128, 256, 512, 1024 };
    count = usual[in.ConsumeIntegralInRange<size_t>(0, std::size(usual) - 1)];
  }
  std::vector<float> samples = block_samples(in, count);

  // A host connects every port before it runs.
  if (slot.reset_buffer < 0) {
    slot.reset_buffer = 0;
    slot.plugin->connect_port(slot.handle, PORT_RESET, &slot.reset[0]);
  }
  for (uint32_t output = 0; output < 3; ++output) {
    if (slot.output_buffer[output] < 0) {
      slot.output_buffer[output] = 0;
      slot.plugin->connect_port(
        slot.handle, PORT_LEVEL + output, &slot.outputs[output][0]);
    }
    slot.outputs[output][0] = slot.outputs[output][1] = unwritten();
  }
  // Exactly count samples: the sanitizer catches a read past the block.
  float* const input = count == 0 ? nullptr : samples.data();
  slot.plugin->connect_port(slot.handle, PORT_INPUT, input);
  // The audio output, exactly count samples too: out of place, or in place
  // on the input buffer itself.
  const std::vector<float> original = samples;
  std::vector<float> audio_out(count, unwritten());
  const bool in_place = passes_audio(slot) && in.ConsumeBool();
  if (passes_audio(slot)) {
    slot.plugin->connect_port(slot.handle,
                              PORT_OUTPUT,
                              in_place || count == 0 ? input
                                                     : audio_out.data());
  }

  const float reset = slot.reset[slot.reset_buffer];
  const ReferenceOutputs expected =
    slot.reference->run(samples.data(), count, reset);
  slot.plugin->run(slot.handle, count);

  const std::vector<float>& passed = in_place ? samples : audio_out;
  if (passes_audio(slot) && count != 0 &&
      std::memcmp(passed.data(), original.data(), count * sizeof(float))) {
    fail("the audio output differs from the input", in_place);
  }

  const std::optional<float> expected_ports[3] = { expected.level,
                                                   expected.peak,
                                                   expected.rms };
  for (uint32_t output = 0; output < 3; ++output) {
    const int used = slot.output_buffer[output];
    check_port(slot.outputs[output][used], expected_ports[output], output);
    if (written(slot.outputs[output][1 - used])) {
      fail("a disconnected output buffer was written", output);
    }
  }

  // The peak hold only falls at a rising edge of the reset control, or to
  // 0 after an infinite sample.
  const float peak = slot.outputs[1][slot.output_buffer[1]];
  const bool rising_edge = reset > 0.0f && !slot.reset_was_high;
  bool infinite = false;
  for (const float x : samples) {
    infinite = infinite || std::isinf(x);
  }
  if (peak < slot.last_peak && !rising_edge && !(infinite && peak == 0.0f)) {
    fail("the peak hold fell without a reset", count);
  }
  slot.reset_was_high = reset > 0.0f;
  slot.last_peak = peak;
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
    slot.plugin = &plugin_of_slot(index);
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
