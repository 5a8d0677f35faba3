// SPDX-License-Identifier: ISC
// The stereo variant loaded with dlopen, as a host loads it, wired to
// buffers of its own, with every way a host may share audio buffers
// between its ports.
#ifndef TOLVANIC_TESTS_HOSTED_STEREO_H
#define TOLVANIC_TESTS_HOSTED_STEREO_H

#include "hosted_meter.h"
#include "plugin/ports.h"

#include <array>
#include <cstring>
#include <vector>

// The audio buffers a host holds for one instance; each audio port is
// connected to one of them.
enum AudioBuffer { BUFFER_A, BUFFER_B, BUFFER_C, BUFFER_D, BUFFERS };

// in_l always gets A. in_r gets B, or A as well (one signal fed to both).
// An output gets a buffer of its own (C for out_l, D for out_r) or an
// input's; the two outputs never share one, since both must be carried.
struct Sharing {
  AudioBuffer in_r, out_l, out_r;
};

constexpr size_t SHARINGS = 10;

inline std::array<Sharing, SHARINGS> every_sharing()
{
  std::array<Sharing, SHARINGS> all{};
  size_t count = 0;
  for (const AudioBuffer in_r : { BUFFER_B, BUFFER_A }) {
    for (const AudioBuffer out_l : { BUFFER_C, BUFFER_A, BUFFER_B }) {
      for (const AudioBuffer out_r : { BUFFER_D, BUFFER_A, BUFFER_B }) {
        const bool unused_b =
          in_r == BUFFER_A && (out_l == BUFFER_B || out_r == BUFFER_B);
        if (out_l != out_r && !unused_b) {
          if (count == SHARINGS) std::abort();
          all[count++] = { in_r, out_l, out_r };
        }
      }
    }
  }
  if (count != SHARINGS) std::abort();
  return all;
}

// The six readings a run left on the ports, left channel first.
struct StereoBits {
  PortBits left;
  PortBits right;
  bool operator==(const StereoBits& other) const
  {
    return left == other.left && right == other.right;
  }
};

class HostedStereo {
public:
  static constexpr uint32_t MAX_BLOCK = 4096;

  HostedStereo(double rate,
               const LV2_Descriptor& plugin,
               const LV2_Feature* const* features = nullptr)
    : plugin_(plugin)
    , handle_(plugin_.instantiate(&plugin_, rate, "", features))
  {
    if (handle_ == nullptr) std::abort();
    for (auto& buffer : buffers) {
      buffer.resize(MAX_BLOCK + 1);
    }
    connect();
  }
  ~HostedStereo() { plugin_.cleanup(handle_); }
  HostedStereo(const HostedStereo&) = delete;
  HostedStereo& operator=(const HostedStereo&) = delete;

  // Connects the control ports to this object's values; allocates nothing.
  void connect()
  {
    plugin_.connect_port(handle_, STEREO_RESET, &reset);
    for (uint32_t i = 0; i < 6; ++i) {
      plugin_.connect_port(handle_, STEREO_LEVEL_L + i, &controls[i]);
    }
  }

  // Copies the block into the input buffers (right is ignored when both
  // inputs share a buffer), marks every other sample of the four buffers
  // as unwritten, connects the audio ports as `sharing` says and runs.
  StereoBits run(const float* left,
                 const float* right,
                 uint32_t count,
                 const Sharing& sharing)
  {
    if (count > MAX_BLOCK) std::abort();
    for (auto& buffer : buffers) {
      std::fill(buffer.begin(), buffer.end(), unwritten());
    }
    std::copy(left, left + count, buffers[BUFFER_A].begin());
    if (sharing.in_r == BUFFER_B) {
      std::copy(right, right + count, buffers[BUFFER_B].begin());
    }
    for (float& control : controls) {
      control = unwritten();
    }
    const AudioBuffer ports[] = {
      BUFFER_A, sharing.in_r, sharing.out_l, sharing.out_r
    };
    const uint32_t indices[] = {
      STEREO_IN_L, STEREO_IN_R, STEREO_OUT_L, STEREO_OUT_R
    };
    for (int i = 0; i < 4; ++i) {
      plugin_.connect_port(handle_, indices[i], buffers[ports[i]].data());
    }
    plugin_.run(handle_, count);
    return {
      { bits_of(controls[0]), bits_of(controls[1]), bits_of(controls[2]) },
      { bits_of(controls[3]), bits_of(controls[4]), bits_of(controls[5]) }
    };
  }

  // After a run: each output's buffer holds its input's samples, bit for
  // bit, and no buffer was written past the block or where no port of the
  // run points.
  bool passed_unchanged(const float* left,
                        const float* right,
                        uint32_t count,
                        const Sharing& sharing) const
  {
    if (sharing.in_r == BUFFER_A) right = left;
    const size_t bytes = count * sizeof(float);
    if (count != 0 &&
        (std::memcmp(buffers[sharing.out_l].data(), left, bytes) ||
         std::memcmp(buffers[sharing.out_r].data(), right, bytes))) {
      return false;
    }
    for (int b = 0; b < BUFFERS; ++b) {
      const bool used = b == BUFFER_A || b == sharing.in_r ||
                        b == sharing.out_l || b == sharing.out_r;
      for (uint32_t i = used ? count : 0; i <= MAX_BLOCK; ++i) {
        if (written(buffers[b][i])) return false;
      }
    }
    return true;
  }

  LV2_Handle handle() const { return handle_; }
  const LV2_Descriptor& plugin() const { return plugin_; }

  float reset = 0.0f;
  float controls[6] = {}; // level, peak, RMS of the left, then of the right
  std::vector<float> buffers[BUFFERS];

private:
  const LV2_Descriptor& plugin_;
  LV2_Handle handle_;
};

#endif
