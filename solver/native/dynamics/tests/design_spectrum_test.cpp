// Design spectra: the elastic shape at its corner periods, table
// interpolation and ends, and the text forms with their line-named errors.
#include "solver/native/dynamics/design_spectrum.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <stdexcept>
#include <string>

#include "solver/native/dynamics/design_spectrum_text.hpp"

namespace Kestrum::Quilm::Solver::Native {
namespace {

// ag S = 3.6, plateau ag S 2.5 = 9 at 5 % damping.
ElasticSpectrumParameters Shape(double damping = 0.05) { return {3.0, 1.2, 0.15, 0.5, 2.0, damping}; }

// Message of the std::invalid_argument `f` throws, or "" if it does not.
template <typename F>
std::string ErrorOf(F f) {
  try {
    f();
  } catch (const std::invalid_argument& e) {
    return e.what();
  }
  return "";
}

TEST(DesignSpectrumTest, ElasticShapeOnEachBranch) {
  const struct {
    double T, Sa;
  } cases[] = {{0.0, 3.6},     {0.075, 3.6 * (1 + 0.5 * 1.5)},
               {0.15, 9.0},    {0.3, 9.0},
               {0.5, 9.0},     {1.0, 4.5},
               {2.0, 2.25},    {4.0, 0.5625},
               {8.0, 0.140625}};
  const DesignSpectrum spectrum = DesignSpectrum::FromParameters(Shape());
  for (const auto& c : cases) {
    SCOPED_TRACE("T = " + std::to_string(c.T));
    EXPECT_NEAR(spectrum.Acceleration(c.T), c.Sa, 1e-12);
  }
}

TEST(DesignSpectrumTest, ElasticShapeIsContinuousAtTheCornersForAnyDamping) {
  for (double damping : {0.0, 0.02, 0.05, 0.2}) {
    const DesignSpectrum spectrum = DesignSpectrum::FromParameters(Shape(damping));
    for (double corner : {0.15, 0.5, 2.0}) {
      SCOPED_TRACE("damping " + std::to_string(damping) + " corner " + std::to_string(corner));
      EXPECT_NEAR(spectrum.Acceleration(corner * (1 - 1e-9)), spectrum.Acceleration(corner * (1 + 1e-9)),
                  1e-7);
    }
    EXPECT_NEAR(spectrum.Acceleration(0.3), 9.0 * DampingCorrection(damping), 1e-12);
  }
}

TEST(DesignSpectrumTest, DampingCorrectionHasItsFloor) {
  EXPECT_DOUBLE_EQ(DampingCorrection(0.05), 1.0);
  EXPECT_DOUBLE_EQ(DampingCorrection(0.02), std::sqrt(10.0 / 7.0));
  EXPECT_DOUBLE_EQ(DampingCorrection(0.30), 0.55);  // sqrt(10/35) = 0.53 is below the floor
  EXPECT_THROW(DampingCorrection(-0.01), std::invalid_argument);
}

TEST(DesignSpectrumTest, TableInterpolatesAndHoldsItsEnds) {
  const DesignSpectrum spectrum = DesignSpectrum::FromTable({{0.1, 2.0}, {0.5, 8.0}, {1.0, 4.0}});
  const struct {
    double T, Sa;
  } cases[] = {{0.0, 2.0}, {0.1, 2.0}, {0.3, 5.0}, {0.5, 8.0}, {0.75, 6.0}, {1.0, 4.0}, {9.0, 4.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE("T = " + std::to_string(c.T));
    EXPECT_NEAR(spectrum.Acceleration(c.T), c.Sa, 1e-12);
  }
  EXPECT_THROW(spectrum.Acceleration(-0.1), std::invalid_argument);
}

TEST(DesignSpectrumTest, RejectsInvalidDefinitions) {
  const struct {
    const char* name;
    std::function<void()> build;
    const char* message;
  } cases[] = {
      {"one point",
       [] {
         DesignSpectrum::FromTable({{0.1, 2.0}});
       },
       "at least two"},
      {"repeated period",
       [] {
         DesignSpectrum::FromTable({{0.1, 2.0}, {0.2, 3.0}, {0.2, 4.0}});
       },
       "point 2: periods must be strictly increasing"},
      {"negative acceleration",
       [] {
         DesignSpectrum::FromTable({{0.1, 2.0}, {0.2, -3.0}});
       },
       "point 1: acceleration"},
      {"TC after TD",
       [] {
         DesignSpectrum::FromParameters({3.0, 1.2, 0.15, 2.5, 2.0, 0.05});
       },
       "TB < TC < TD"},
      {"TB zero",
       [] {
         DesignSpectrum::FromParameters({3.0, 1.2, 0.0, 0.5, 2.0, 0.05});
       },
       "TB must be positive"},
      {"soil factor",
       [] {
         DesignSpectrum::FromParameters({3.0, 0.0, 0.15, 0.5, 2.0, 0.05});
       },
       "soil factor"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_NE(ErrorOf(c.build).find(c.message), std::string::npos) << ErrorOf(c.build);
  }
}

TEST(SpectrumTextTest, ReadsBothForms) {
  const std::string table = "# period  Sa\n\n0.1 2.0   # start\n0.5,8.0\r\n  1.0\t4.0\n";
  const DesignSpectrum fromTable = ParseSpectrum(table);
  ASSERT_TRUE(fromTable.IsTabulated());
  EXPECT_EQ(fromTable.Points().size(), 3u);
  EXPECT_NEAR(fromTable.Acceleration(0.75), 6.0, 1e-12);

  const DesignSpectrum fromParameters =
      ParseSpectrum("# zone 3\nag = 3.0 S=1.2 tb=0.15\nTC=0.5 TD=2.0 damping=0.05\n");
  ASSERT_FALSE(fromParameters.IsTabulated());
  for (double T : {0.0, 0.1, 0.3, 1.0, 3.0})
    EXPECT_DOUBLE_EQ(fromParameters.Acceleration(T), DesignSpectrum::FromParameters(Shape()).Acceleration(T));

  const ElasticSpectrumParameters defaults = ParseSpectrumParameters("ag=2 TB=0.1 TC=0.4 TD=2");
  EXPECT_EQ(defaults.soilFactor, 1.0);
  EXPECT_EQ(defaults.damping, 0.05);
}

TEST(SpectrumTextTest, ErrorsNameTheLine) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"0.1 2\n0.2 3 4\n", "line 2: expected 'period acceleration', found 3 values"},
      {"# header\n0.1 2\n0.2 x3\n", "line 3: 'x3' is not a finite number"},
      {"0.1 2\n\n0.3 3\n0.3 4\n", "line 4: periods must be strictly increasing"},
      {"0.1 2\n0.2 -3\n", "line 2: acceleration must be finite"},
      {"0.1 2\n", "at least two"},
      {"ag=3 TB=0.1\nTC=0.5 TD=2 q=1.5\n", "line 2: unknown parameter 'q'"},
      {"ag=3 TB=0.1 TC=0.5\nTD=2 AG=4\n", "line 2: parameter 'ag' repeated (first on line 1)"},
      {"ag=3 TB=0.1 TC 0.5 TD=2\n", "line 1: expected key=value, found 'TC'"},
      {"ag=3 TB=0.1 TC=0.5\n", "parameter 'td' is missing"},
      {"ag=3 TB=0.6 TC=0.5 TD=2\n", "TB < TC < TD"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string error = ErrorOf([&] { ParseSpectrum(c.text); });
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver::Native
