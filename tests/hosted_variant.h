// SPDX-License-Identifier: ISC
// A variant that inserts into a track, tolvanic inline (one channel) or
// tolvanic stereo (two), loaded with dlopen as a host loads it, wired to
// buffers of its own, with every way a host may share audio buffers
// between its ports.
#ifndef TOLVANIC_TESTS_HOSTED_VARIANT_H
#define TOLVANIC_TESTS_HOSTED_VARIANT_H

#include "hosted_meter.h"
#include "plugin/ports.h"

#include <array>
#include <cstring>
#include <vector>

// The audio buffers a host holds for one instance; each audio port is
// connected to one of them.
enum AudioBuffer { BUFFER_A, BUFFER_B, BUFFER_C, BUFFER_D, BUFFERS };

// The first input always gets A; a second gets B, or A as well (one signal
// fed to both). An output gets a buffer of its own (C for the first, D for
// the second) or an input's; two outputs never share one, since both must
// be carried. With one channel, only in_l and out_l are ports.
struct Sharing {
  AudioBuffer in_r, out_l, out_r;
};

// The six readings a run left on the ports, the first channel's first;
// with one channel, the second's are all 0.
using VariantBits = std::array<PortBits, 2>;

class HostedVariant {
public:
  static constexpr uint32_t MAX_BLOCK = 4096;

  // Hosts tolvanic stereo with two channels, tolvanic inline with one.
  HostedVariant(double rate,
                const LV2_Descriptor& plugin,
                const LV2_Feature* const* features = nullptr)
    : plugin_(plugin)
    , ports_{ std::strcmp(plugin.URI, STEREO_METER_URI) == 0 ? 2u : 1u }
    , handle_(plugin_.instantiate(&plugin_, rate, "", features))
  {
    if (handle_ == nullptr) std::abort();
    const uint32_t channels = ports_.channels;
    for (auto& buffer : buffers) {
      buffer.resize(MAX_BLOCK + 1);
    }
    // Both sharings of one channel (an output of its own, or in place),
    // and the ten of two.
    for (const AudioBuffer in_r : { BUFFER_B, BUFFER_A }) {
      for (const AudioBuffer out_l : { BUFFER_C, BUFFER_A, BUFFER_B }) {
        for (const AudioBuffer out_r : { BUFFER_D, BUFFER_A, BUFFER_B }) {
          const bool unused_b =
            in_r == BUFFER_A && (out_l == BUFFER_B || out_r == BUFFER_B);
          const bool mono_ports =
            in_r == BUFFER_B && out_l != BUFFER_B && out_r == BUFFER_D;
          if (out_l != out_r && !unused_b && (channels == 2 || mono_ports)) {
            sharings_[sharing_count_++] = { in_r, out_l, out_r };
          }
        }
      }
    }
    if (sharing_count_ != (channels == 1 ? 2 : 10)) std::abort();
    connect();
  }
  ~HostedVariant() { plugin_.cleanup(handle_); }
  HostedVariant(const HostedVariant&) = delete;
  HostedVariant& operator=(const HostedVariant&) = delete;

  // Connects the control ports to this object's values; allocates nothing.
  void connect()
  {
    plugin_.connect_port(handle_, ports_.reset(), &reset);
    for (uint32_t c = 0; c < ports_.channels; ++c) {
      for (const Reading r : { READING_LEVEL, READING_PEAK, READING_RMS }) {
        plugin_.connect_port(
          handle_, ports_.reading(c, r), &controls[READINGS * c + r]);
      }
    }
  }

  // The host's ways of sharing buffers, by turns: index i gives the
  // i-th, modulo their number.
  const Sharing& sharing(size_t i) const
  {
    return sharings_[i % sharing_count_];
  }
  size_t sharings() const { return sharing_count_; }

  // Copies the block into the input buffers (right is ignored with one
  // channel, or when both inputs share a buffer), marks every other sample
  // of the four buffers as unwritten, connects the audio ports as
  // `sharing` says and runs.
  VariantBits run(const float* left,
                  const float* right,
                  uint32_t count,
                  const Sharing& sharing)
  {
    if (count > MAX_BLOCK) std::abort();
    for (auto& buffer : buffers) {
      std::fill(buffer.begin(), buffer.end(), unwritten());
    }
    std::copy(left, left + count, buffers[BUFFER_A].begin());
    if (ports_.channels == 2 && sharing.in_r == BUFFER_B) {
      std::copy(right, right + count, buffers[BUFFER_B].begin());
    }
    for (float& control : controls) {
      control = unwritten();
    }
    const AudioBuffer inputs[] = { BUFFER_A, sharing.in_r };
    const AudioBuffer outputs[] = { sharing.out_l, sharing.out_r };
    for (uint32_t c = 0; c < ports_.channels; ++c) {
      plugin_.connect_port(handle_, ports_.input(c), buffers[inputs[c]].data());
      plugin_.connect_port(
        handle_, ports_.output(c), buffers[outputs[c]].data());
    }
    plugin_.run(handle_, count);
    VariantBits bits{};
    for (uint32_t c = 0; c < ports_.channels; ++c) {
      const float* const readings = &controls[READINGS * c];
      bits[c] = { bits_of(readings[READING_LEVEL]),
                  bits_of(readings[READING_PEAK]),
                  bits_of(readings[READING_RMS]) };
    }
    return bits;
  }

  // After a run: each output's buffer holds its input's samples, bit for
  // bit, and no buffer was written past the block or where no port of the
  // run points.
  bool passed_unchanged(const float* left,
                        const float* right,
                        uint32_t count,
                        const Sharing& sharing) const
  {
    const bool stereo = ports_.channels == 2;
    if (sharing.in_r == BUFFER_A) right = left;
    const size_t bytes = count * sizeof(float);
    if (count != 0 &&
        (std::memcmp(buffers[sharing.out_l].data(), left, bytes) ||
         (stereo &&
          std::memcmp(buffers[sharing.out_r].data(), right, bytes)))) {
      return false;
    }
    for (int b = 0; b < BUFFERS; ++b) {
      const bool used = b == BUFFER_A || b == sharing.out_l ||
                        (stereo && (b == sharing.in_r || b == sharing.out_r));
      for (uint32_t i = used ? count : 0; i <= MAX_BLOCK; ++i) {
        if (written(buffers[b][i])) return false;
      }
    }
    return true;
  }

  LV2_Handle handle() const { return handle_; }
  const LV2_Descriptor& plugin() const { return plugin_; }
  const InsertPorts& ports() const { return ports_; }
  uint32_t port_count() const { return ports_.count(); }

  float reset = 0.0f;
  float controls[2 * READINGS] = {}; // each channel's level, peak, RMS
  std::vector<float> buffers[BUFFERS];

private:
  const LV2_Descriptor& plugin_;
  const InsertPorts ports_;
  LV2_Handle handle_;
  std::array<Sharing, 10> sharings_{};
  size_t sharing_count_ = 0;
};

#endif
