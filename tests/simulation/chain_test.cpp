// The chain against the physics it models: wave speed, energy, the
// fundamental of a string, and what its ends and cuts do to a wave.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "simulation/chain.hpp"
#include "simulation/source.hpp"

namespace vx::simulation {
namespace {

// A Gaussian bump of width sigma around `centre`; with `speed` not 0 it is
// given the velocity of a wave moving right at that speed.
void Bump(Chain& chain, double centre, double sigma, double speed) {
  for (std::int32_t i = 0; i < chain.Nodes(); ++i) {
    const double d = i - centre;
    const double u = std::exp(-d * d / (2 * sigma * sigma));
    if (u < 1e-12) continue;
    ASSERT_TRUE(chain.Set(ATTR_DISPLACEMENT, i, i, u));
    ASSERT_TRUE(chain.Set(ATTR_VELOCITY, i, i, speed * d / (sigma * sigma) * u));
  }
}

std::int32_t Peak(const Chain& chain) {
  const auto u = chain.Displacements();
  return static_cast<std::int32_t>(std::max_element(u.begin(), u.end()) - u.begin());
}

std::int32_t Trough(const Chain& chain) {
  const auto u = chain.Displacements();
  return static_cast<std::int32_t>(std::min_element(u.begin(), u.end()) - u.begin());
}

void Advance(Chain& chain, int steps) {
  for (int s = 0; s < steps; ++s) ASSERT_TRUE(chain.Step()) << "step " << s;
}

TEST(ChainWaves, APulseTravelsSqrtKOverMNodesPerUnitTime) {
  struct Medium { double mass, stiffness; };
  for (const Medium m : {Medium{1, 4}, Medium{4, 1}, Medium{2, 2}}) {
    Chain chain;
    ASSERT_TRUE(chain.Init(2000, 0.1, BOUNDARY_ABSORBING, BOUNDARY_ABSORBING));
    ASSERT_TRUE(chain.Set(ATTR_MASS, 0, 1999, m.mass));
    ASSERT_TRUE(chain.Set(ATTR_STIFFNESS, 0, 1999, m.stiffness));
    const double speed = std::sqrt(m.stiffness / m.mass);
    Bump(chain, 400, 15, speed);
    Advance(chain, 3000);  // 300 units of time
    EXPECT_NEAR(Peak(chain), 400 + speed * 300, 2.0) << "k " << m.stiffness << " m " << m.mass;
    // Nothing went left: the velocity made it a one-way pulse.
    EXPECT_LT(*std::max_element(chain.Displacements().begin(), chain.Displacements().begin() + 390), 0.01);
  }
}

TEST(ChainWaves, AnUndampedChainKeepsItsEnergyOverTenThousandSteps) {
  // Stated bound: the total energy stays within 0.1 % of its start for a
  // step of a fifth of the stability limit. Velocity Verlet's error is
  // bounded and oscillates; it does not drift.
  Chain chain;
  ASSERT_TRUE(chain.Init(400, 0.2, BOUNDARY_FIXED, BOUNDARY_FIXED));
  ASSERT_DOUBLE_EQ(chain.StabilityLimit(), 1.0);
  Bump(chain, 120, 8, 0.0);
  Bump(chain, 260, 5, 1.0);
  const double start = chain.Energy();
  ASSERT_GT(start, 0.1);
  double worst = 0.0;
  for (int s = 0; s < 10000; ++s) {
    ASSERT_TRUE(chain.Step());
    worst = std::max(worst, std::abs(chain.Energy() - start) / start);
  }
  EXPECT_LT(worst, 1e-3);
  EXPECT_EQ(chain.StepCount(), 10000);
  EXPECT_NEAR(chain.Time(), 2000.0, 1e-6);
}

TEST(ChainWaves, DampingOnlyTakesEnergyAway) {
  Chain chain;
  ASSERT_TRUE(chain.Init(300, 0.5, BOUNDARY_REFLECTING, BOUNDARY_REFLECTING));
  ASSERT_TRUE(chain.Set(ATTR_DAMPING, 0, 299, 50.0));  // far past critical
  Bump(chain, 150, 4, 0.0);
  double last = chain.Energy();
  for (int s = 0; s < 2000; ++s) {
    ASSERT_TRUE(chain.Step());
    EXPECT_LE(chain.Energy(), last * (1 + 1e-12));
    last = chain.Energy();
  }
  for (double u : chain.Displacements()) ASSERT_TRUE(std::isfinite(u));
}

// The time between two upward zero crossings of node `probe`.
double MeasuredPeriod(Chain& chain, std::int32_t probe, int steps) {
  std::vector<double> crossings;
  double before = chain.Displacements()[static_cast<std::size_t>(probe)];
  for (int s = 0; s < steps && crossings.size() < 3; ++s) {
    EXPECT_TRUE(chain.Step());
    const double now = chain.Displacements()[static_cast<std::size_t>(probe)];
    if (before < 0.0 && now >= 0.0) {
      crossings.push_back(chain.Time() - chain.TimeStep() * now / (now - before));
    }
    before = now;
  }
  return crossings.size() >= 3 ? (crossings[2] - crossings[0]) / 2.0 : 0.0;
}

TEST(ChainWaves, AFixedEndStringPluckedInTheMiddleSoundsItsFirstMode) {
  // 101 nodes, 100 links between two fixed ends: length L = 100, speed
  // c = 1, first mode f = c / 2L. The chain's own dispersion moves it by
  // sin(pi/200) / (pi/200) - 1 = -0.004 %.
  Chain chain;
  ASSERT_TRUE(chain.Init(101, 0.05, BOUNDARY_FIXED, BOUNDARY_FIXED));
  for (std::int32_t i = 1; i < 100; ++i) {
    ASSERT_TRUE(chain.Set(ATTR_DISPLACEMENT, i, i, 1.0 - std::abs(i - 50) / 50.0));  // a triangle pluck
  }
  const double period = MeasuredPeriod(chain, 50, 20000);
  EXPECT_NEAR(1.0 / period, 1.0 / 200.0, 0.005 / 200.0);
}

TEST(ChainWaves, FirstModeFollowsTheMedium) {
  // Heavier beads slow the string down: k = 9, m = 4 gives c = 1.5.
  Chain chain;
  ASSERT_TRUE(chain.Init(61, 0.02, BOUNDARY_FIXED, BOUNDARY_FIXED));
  ASSERT_TRUE(chain.Set(ATTR_MASS, 0, 60, 4.0));
  ASSERT_TRUE(chain.Set(ATTR_STIFFNESS, 0, 60, 9.0));
  for (std::int32_t i = 1; i < 60; ++i) {
    ASSERT_TRUE(chain.Set(ATTR_DISPLACEMENT, i, i, std::sin(std::numbers::pi * i / 60.0)));
  }
  const double expected = 2 * 1.5 * std::sin(std::numbers::pi / 120.0) / (2 * std::numbers::pi);
  EXPECT_NEAR(1.0 / MeasuredPeriod(chain, 30, 20000), expected, expected * 1e-4);
}

TEST(ChainEnds, AFixedEndTurnsThePulseOverAFreeEndDoesNot) {
  for (const Boundary end : {BOUNDARY_FIXED, BOUNDARY_REFLECTING}) {
    Chain chain;
    ASSERT_TRUE(chain.Init(600, 0.25, BOUNDARY_ABSORBING, end));
    Bump(chain, 300, 10, 1.0);
    Advance(chain, 2000);  // 500 units: out to the end (300) and 200 back
    const std::int32_t expected = 599 - 200;
    if (end == BOUNDARY_FIXED) {
      EXPECT_NEAR(Trough(chain), expected, 3);
      EXPECT_LT(chain.Displacements()[static_cast<std::size_t>(Trough(chain))], -0.9);
    } else {
      EXPECT_NEAR(Peak(chain), expected, 3);
      EXPECT_GT(chain.Displacements()[static_cast<std::size_t>(Peak(chain))], 0.9);
    }
  }
}

TEST(ChainEnds, AnAbsorbingEndTakesThePulseIn) {
  Chain chain;
  ASSERT_TRUE(chain.Init(600, 0.25, BOUNDARY_REFLECTING, BOUNDARY_ABSORBING));
  Bump(chain, 300, 10, 1.0);
  const double start = chain.Energy();
  Advance(chain, 2000);
  EXPECT_LT(chain.Energy(), start * 0.01);
}

TEST(ChainEnds, AnAbsorbingEndMatchesTheMediumItEnds) {
  // The dashpot takes the end link's stiffness and the end node's mass,
  // whatever the rest of the chain is: a stiff end (k 4) of light nodes,
  // a heavy end (m 4), each with something else beyond its last link.
  struct End { double mass, stiffness; };
  for (const End end : {End{1, 4}, End{4, 1}, End{0.25, 9}}) {
    for (const bool right : {true, false}) {
      SCOPED_TRACE(testing::Message() << "mass " << end.mass << " stiffness " << end.stiffness
                                      << (right ? " right" : " left"));
      Chain chain;
      ASSERT_TRUE(chain.Init(600, 0.05, right ? BOUNDARY_REFLECTING : BOUNDARY_ABSORBING,
                             right ? BOUNDARY_ABSORBING : BOUNDARY_REFLECTING));
      // Links 0 to 598 join the nodes; the last node's own "link" leads
      // nowhere and keeps the stiffness of 1.
      ASSERT_TRUE(chain.Set(ATTR_STIFFNESS, 0, 598, end.stiffness));
      ASSERT_TRUE(chain.Set(ATTR_MASS, 0, 599, end.mass));
      const double speed = std::sqrt(end.stiffness / end.mass);
      Bump(chain, 300, 12, right ? speed : -speed);
      const double start = chain.Energy();
      Advance(chain, static_cast<int>(400 / speed / 0.05));
      EXPECT_LT(chain.Energy(), start * 0.01);
    }
  }
}

TEST(ChainWaves, TheStatedAccuracyNeedsTwentyNodesAWavelength) {
  // A standing wave, the worst case (its energy moves wholly between the
  // springs and the masses), at a fifth of the stability limit.
  const auto worst_error = [](int nodes_per_wavelength) {
    Chain chain;
    const int nodes = 10 * nodes_per_wavelength + 1;
    EXPECT_TRUE(chain.Init(nodes, 0.2, BOUNDARY_FIXED, BOUNDARY_FIXED));
    for (int i = 0; i < nodes; ++i) {
      EXPECT_TRUE(chain.Set(ATTR_DISPLACEMENT, i, i, std::sin(2 * std::numbers::pi * i / nodes_per_wavelength)));
    }
    const double start = chain.Energy();
    double worst = 0;
    for (int s = 0; s < 10000; ++s) {
      EXPECT_TRUE(chain.Step());
      worst = std::max(worst, std::abs(chain.Energy() - start) / start);
    }
    return worst;
  };
  EXPECT_LT(worst_error(20), 1e-3);
  EXPECT_GT(worst_error(10), 3e-3);  // ten nodes is not enough
}

TEST(ChainFields, WholeRunsReadAndWrittenAtOnce) {
  Chain chain;
  ASSERT_TRUE(chain.Init(8, 0.1, BOUNDARY_FIXED, BOUNDARY_REFLECTING));
  const std::vector<double> shape{0.5, -1, 2, 0.25};
  ASSERT_TRUE(chain.Write(ATTR_DISPLACEMENT, 2, 5, shape));
  std::vector<double> back(8);
  ASSERT_TRUE(chain.Read(ATTR_DISPLACEMENT, 0, 7, back));
  EXPECT_EQ(back, (std::vector<double>{0, 0, 0.5, -1, 2, 0.25, 0, 0}));
  // The springs feel the new shape: the energy is that of the stretches.
  EXPECT_DOUBLE_EQ(chain.Potential(), 0.5 * (0.25 + 2.25 + 9 + 3.0625 + 0.0625));
  ASSERT_TRUE(chain.Write(ATTR_MASS, 0, 7, std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_DOUBLE_EQ(chain.Mass(4), 5);
  // The medium changed: so did the stability limit (the lightest free node).
  ASSERT_TRUE(chain.Write(ATTR_STIFFNESS, 0, 7, std::vector<double>(8, 100.0)));
  EXPECT_NEAR(chain.StabilityLimit(), 2 / std::sqrt(2 * 200 / 2.0), 1e-12);
  // Held, fixed and driven nodes read as 1; a node held stops moving.
  ASSERT_TRUE(chain.Write(ATTR_VELOCITY, 4, 4, std::vector<double>{3}));
  ASSERT_TRUE(chain.Write(ATTR_HELD, 3, 4, std::vector<double>{0, 7}));
  ASSERT_TRUE(chain.Drive(6, Source::Sine(1, 1, 0)));
  std::vector<double> held(8);
  ASSERT_TRUE(chain.Read(ATTR_HELD, 0, 7, held));
  EXPECT_EQ(held, (std::vector<double>{1, 0, 0, 0, 1, 0, 1, 0}));
  std::vector<double> velocity(1);
  ASSERT_TRUE(chain.Read(ATTR_VELOCITY, 4, 4, velocity));
  EXPECT_EQ(velocity[0], 0.0) << "a node held stops";
  // All or nothing: one bad value, a wrong count or a node outside changes
  // nothing.
  EXPECT_FALSE(chain.Write(ATTR_MASS, 0, 2, std::vector<double>{1, 0, 1}));
  EXPECT_FALSE(chain.Write(ATTR_DAMPING, 0, 1, std::vector<double>{1, -0.5}));
  EXPECT_FALSE(chain.Write(ATTR_DISPLACEMENT, 0, 1, std::vector<double>{1, NAN}));
  EXPECT_FALSE(chain.Write(ATTR_DISPLACEMENT, 0, 2, std::vector<double>{1, 2}));
  EXPECT_FALSE(chain.Write(ATTR_DISPLACEMENT, 6, 8, std::vector<double>{1, 2, 3}));
  EXPECT_FALSE(chain.Read(ATTR_DISPLACEMENT, -1, 2, back));
  EXPECT_DOUBLE_EQ(chain.Mass(0), 1);
  EXPECT_DOUBLE_EQ(chain.Mass(1), 2);
  ASSERT_TRUE(chain.Read(ATTR_DISPLACEMENT, 0, 7, back));
  EXPECT_EQ(back[0], 0.0);
}

TEST(ChainEnds, ACutStopsTheWaveAndReflectsItLikeAFreeEnd) {
  Chain chain;
  ASSERT_TRUE(chain.Init(600, 0.25, BOUNDARY_ABSORBING, BOUNDARY_ABSORBING));
  ASSERT_TRUE(chain.Cut(400, 401, true));
  EXPECT_TRUE(chain.LinkCut(400));
  EXPECT_FALSE(chain.LinkCut(399));
  EXPECT_FALSE(chain.LinkCut(401));
  Bump(chain, 200, 10, 1.0);
  Advance(chain, 1200);  // 300 units: 200 to the cut and 100 back
  for (std::int32_t i = 401; i < 600; ++i) ASSERT_EQ(chain.Displacements()[static_cast<std::size_t>(i)], 0.0);
  EXPECT_NEAR(Peak(chain), 300, 3);
  // Joined again, the wave passes.
  ASSERT_TRUE(chain.Cut(401, 400, false));
  EXPECT_FALSE(chain.LinkCut(400));
}

TEST(ChainNodes, HeldNodesStayAndDrivenNodesFollowTheirSource) {
  Chain chain;
  ASSERT_TRUE(chain.Init(100, 0.1, BOUNDARY_REFLECTING, BOUNDARY_REFLECTING));
  ASSERT_TRUE(chain.Set(ATTR_DISPLACEMENT, 40, 60, 0.5));
  ASSERT_TRUE(chain.Hold(50, 50, true));
  ASSERT_TRUE(chain.Drive(10, Source::Sine(2.0, 0.25, 0.0)));
  for (int s = 1; s <= 37; ++s) {
    ASSERT_TRUE(chain.Step());
    ASSERT_EQ(chain.Displacements()[50], 0.5);
    ASSERT_NEAR(chain.Displacements()[10], 2.0 * std::sin(2 * std::numbers::pi * 0.25 * s * 0.1), 1e-12);
  }
  EXPECT_TRUE(chain.Held(50));
  EXPECT_TRUE(chain.Held(10));
  EXPECT_FALSE(chain.Held(11));
  ASSERT_TRUE(chain.Drive(10, Source{}));  // off again
  EXPECT_FALSE(chain.Held(10));
}

TEST(ChainNodes, ASourceCountsItsTimeFromWhenItWasSet) {
  Chain chain;
  ASSERT_TRUE(chain.Init(20, 0.1, BOUNDARY_REFLECTING, BOUNDARY_REFLECTING));
  Advance(chain, 7);
  const std::vector<std::int16_t> samples{8192, 16384, 32767};
  ASSERT_TRUE(chain.Drive(5, Source::Recorded(1.0, samples, 10.0)));  // one sample a step
  ASSERT_TRUE(chain.Drive(6, Source::Sine(1.0, 1.0, 0.0)));
  Advance(chain, 1);
  EXPECT_DOUBLE_EQ(chain.Displacements()[5], 0.5);
  EXPECT_NEAR(chain.Displacements()[6], std::sin(2 * std::numbers::pi * 0.1), 1e-12);
  Advance(chain, 2);
  EXPECT_DOUBLE_EQ(chain.Displacements()[5], 0.0);  // past the last sample
}

TEST(ChainNodes, SixteenSourcesAtMost) {
  Chain chain;
  for (std::int32_t i = 0; i < SOURCES_MAX; ++i) ASSERT_TRUE(chain.Drive(i, Source::Sine(1, 1, 0)));
  EXPECT_FALSE(chain.Drive(SOURCES_MAX, Source::Sine(1, 1, 0)));
  EXPECT_TRUE(chain.Drive(3, Source::Sine(2, 1, 0)));  // replacing one is not adding
  EXPECT_FALSE(chain.Drive(-1, Source::Sine(1, 1, 0)));
  EXPECT_FALSE(chain.Drive(2000, Source::Sine(1, 1, 0)));
}

TEST(ChainStability, TheLimitIsOneOverSqrtKOverMAndLongerStepsAreRefused) {
  Chain chain;
  ASSERT_TRUE(chain.Init(50, 0.3, BOUNDARY_REFLECTING, BOUNDARY_REFLECTING));
  ASSERT_TRUE(chain.Set(ATTR_STIFFNESS, 0, 49, 25.0));
  EXPECT_DOUBLE_EQ(chain.StabilityLimit(), 0.2);
  ASSERT_TRUE(chain.Set(ATTR_DISPLACEMENT, 20, 20, 1.0));
  EXPECT_FALSE(chain.Step());
  EXPECT_EQ(chain.StepCount(), 0);
  EXPECT_EQ(chain.Displacements()[20], 1.0);
  // One stiff spring is enough to lower the limit; heavier beads raise it.
  ASSERT_TRUE(chain.Set(ATTR_STIFFNESS, 0, 49, 1.0));
  ASSERT_TRUE(chain.Set(ATTR_STIFFNESS, 30, 30, 100.0));
  EXPECT_LT(chain.StabilityLimit(), 0.3);
  ASSERT_TRUE(chain.Set(ATTR_MASS, 30, 31, 400.0));
  EXPECT_GT(chain.StabilityLimit(), 0.3);
  EXPECT_TRUE(chain.Step());
}

TEST(ChainStability, JustBelowTheLimitStaysBounded) {
  Chain chain;
  ASSERT_TRUE(chain.Init(200, 0.99, BOUNDARY_FIXED, BOUNDARY_FIXED));
  for (std::int32_t i = 1; i < 199; i += 2) ASSERT_TRUE(chain.Set(ATTR_DISPLACEMENT, i, i, 1.0));  // the highest mode
  const double start = chain.Energy();
  Advance(chain, 5000);
  EXPECT_LT(chain.Energy(), start * 60);
  for (double u : chain.Displacements()) ASSERT_LT(std::abs(u), 10.0);
}

TEST(ChainArguments, BadValuesChangeNothing) {
  Chain chain;
  ASSERT_TRUE(chain.Init(10, 0.1, BOUNDARY_FIXED, BOUNDARY_REFLECTING));
  EXPECT_FALSE(chain.Init(1, 0.1, 0, 0));
  EXPECT_FALSE(chain.Init(2001, 0.1, 0, 0));
  EXPECT_FALSE(chain.Init(10, 0.0, 0, 0));
  EXPECT_FALSE(chain.Init(10, NAN, 0, 0));
  EXPECT_FALSE(chain.Init(10, 0.1, 3, 0));
  EXPECT_FALSE(chain.Init(10, 0.1, 0, -1));
  EXPECT_EQ(chain.Nodes(), 10);
  EXPECT_EQ(chain.RightBoundary(), BOUNDARY_REFLECTING);
  EXPECT_FALSE(chain.Set(ATTR_MASS, 0, 9, 0.0));
  EXPECT_FALSE(chain.Set(ATTR_MASS, 0, 9, INFINITY));
  EXPECT_FALSE(chain.Set(ATTR_STIFFNESS, 0, 9, -1.0));
  EXPECT_FALSE(chain.Set(ATTR_DISPLACEMENT, 0, 10, 1.0));
  EXPECT_FALSE(chain.Set(ATTR_DISPLACEMENT, -1, 3, 1.0));
  EXPECT_FALSE(chain.Cut(5, 10, true));
  EXPECT_FALSE(chain.Hold(-1, 0, true));
  EXPECT_DOUBLE_EQ(chain.Mass(0), 1.0);
  EXPECT_DOUBLE_EQ(chain.Stiffness(0), 1.0);
  EXPECT_TRUE(chain.Set(ATTR_MASS, 9, 0, 2.0));  // either order
  EXPECT_DOUBLE_EQ(chain.Mass(9), 2.0);
}

TEST(Sources, ARecordedWaveIsInterpolatedAndFallsSilentAtItsEnd) {
  const std::vector<std::int16_t> samples{0, 16384, -32768};
  const Source s = Source::Recorded(2.0, samples, 4.0);  // 4 samples per unit time
  EXPECT_DOUBLE_EQ(s.At(0.0), 0.0);
  EXPECT_DOUBLE_EQ(s.At(0.25), 1.0);
  EXPECT_DOUBLE_EQ(s.At(0.125), 0.5);
  EXPECT_DOUBLE_EQ(s.At(0.5), -2.0);
  EXPECT_DOUBLE_EQ(s.At(0.75), 0.0);
  EXPECT_DOUBLE_EQ(s.At(-1.0), 0.0);
  EXPECT_DOUBLE_EQ(s.At(NAN), 0.0);
  EXPECT_DOUBLE_EQ(Source::Sine(3.0, 0.5, std::numbers::pi / 2).At(1.0), -3.0);
}

}  // namespace
}  // namespace vx::simulation
