// SPDX-License-Identifier: ISC
// The K-weighting: BS.1770-4's table at 48 kHz, the same response at other
// rates, and stable filters at any rate.
#include "k_weighting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>

namespace {

TEST(KWeighting, AtFortyEightKilohertzIsTheTableOfBs1770)
{
  const KWeighting k = k_weighting(48000.0);
  const Biquad& s = k.shelf;
  const Biquad& h = k.high_pass;
  const double got[] = { s.b0, s.b1, s.b2, s.a1, s.a2,
                         h.b0, h.b1, h.b2, h.a1, h.a2 };
  const double table[] = { 1.53512485958697,
                           -2.69169618940638,
                           1.19839281085285,
                           -1.69065929318241,
                           0.73248077421585,
                           1.0,
                           -2.0,
                           1.0,
                           -1.99004745483398,
                           0.99007225036621 };
  for (size_t i = 0; i < std::size(table); ++i)
    EXPECT_NEAR(got[i], table[i], 1e-8) << "coefficient " << i;
}

double response_db(const KWeighting& k, double hz, double rate)
{
  const std::complex<double> z = std::polar(1.0, -2.0 * M_PI * hz / rate);
  double db = 0.0;
  for (const Biquad& b : { k.shelf, k.high_pass }) {
    db += 20.0 * std::log10(std::abs((b.b0 + b.b1 * z + b.b2 * z * z) /
                                     (1.0 + b.a1 * z + b.a2 * z * z)));
  }
  return db;
}

TEST(KWeighting, HasTheSameResponseAtOtherRatesAndStaysStable)
{
  const KWeighting reference = k_weighting(48000.0);
  for (double rate :
       { 1.0, 7.0, 8000.0, 22050.0, 44100.0, 96000.0, 192000.0, 1e7 }) {
    SCOPED_TRACE(rate);
    const KWeighting k = k_weighting(rate);
    for (const Biquad& b : { k.shelf, k.high_pass }) {
      EXPECT_LT(b.a2, 1.0); // both poles inside the unit circle
      EXPECT_LT(std::fabs(b.a1), 1.0 + b.a2);
    }
    if (rate < 8000.0) continue;
    // Up to Nyquist; the shelf's corner lies close to it at 8 kHz.
    for (double hz : { 20.0, 40.0, 100.0, 1000.0, 2000.0, 3900.0, 15000.0 }) {
      if (hz >= rate / 2.0) continue;
      EXPECT_NEAR(response_db(k, hz, rate),
                  response_db(reference, hz, 48000.0),
                  rate < 40000.0 ? 0.05 : 0.01)
        << hz << " Hz";
    }
  }
}

} // namespace
