// Tests of the deck's text limits, the section and axis mapping, and the
// reader of the solver's printed results.
#include "solver/ccx/deck_format.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "solver/ccx/beam_mapping.hpp"
#include "solver/ccx/ccx_results.hpp"

namespace Kestrum::Quilm::Solver {
namespace {

TEST(DeckFormat, NumbersStayWithinTheReadersLimitAndRoundTrip) {
  const double values[] = {0.0,
                           -0.0,
                           1.0,
                           -1.0 / 3.0,
                           2.1e11,
                           -1.234567890123456e-300,
                           9.87654321e307,
                           std::numeric_limits<double>::denorm_min(),
                           -std::numeric_limits<double>::max()};
  for (double v : values) {
    SCOPED_TRACE(v);
    const std::string text = FormatNumber(v);
    EXPECT_LE(text.size(), kMaxNumberLength);
    const double back = std::strtod(text.c_str(), nullptr);
    EXPECT_NEAR(back, v, std::abs(v) * 1e-11);
  }
  EXPECT_EQ(FormatNumber(-0.0), "0");
}

// Whole, huge, tiny and signed zero values all come out as reals, and
// read back as the value.
TEST(DeckFormat, RealsAlwaysCarryAPointOrAnExponent) {
  const struct {
    double value;
    const char* text;
  } cases[] = {{5000.0, "5000."},
               {0.0, "0."},
               {-0.0, "0."},
               {-3.0, "-3."},
               {999999999999.0, "999999999999."},
               {1e12, "1e+12"},
               {2.5e-300, "2.5e-300"},
               {0.125, "0.125"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    const std::string text = FormatReal(c.value);
    EXPECT_EQ(text, c.text);
    EXPECT_LE(text.size(), kMaxNumberLength);
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), c.value);
  }
}

TEST(DeckFormat, NonFiniteNumbersAreRefusedWithTheirName) {
  try {
    FormatNumber(std::nan(""), "a density");
    FAIL() << "no error";
  } catch (const ExportError& e) {
    EXPECT_NE(std::string(e.what()).find("a density"), std::string::npos);
  }
  EXPECT_THROW(FormatNumber(std::numeric_limits<double>::infinity()), ExportError);
}

TEST(DeckFormat, EntryLinesHoldAtMostSixteenEntries) {
  for (std::size_t count : {0u, 1u, 15u, 16u, 17u, 33u}) {
    SCOPED_TRACE(count);
    std::vector<long> ids;
    for (std::size_t i = 0; i < count; ++i) ids.push_back(static_cast<long>(i + 1));
    std::ostringstream out;
    WriteIdLines(out, ids);
    std::istringstream lines(out.str());
    std::size_t seen = 0, lineCount = 0;
    for (std::string line; std::getline(lines, line);) {
      ++lineCount;
      std::size_t entries = 1;
      for (char c : line) entries += c == ',';
      EXPECT_LE(entries, kMaxEntriesPerLine);
      EXPECT_NE(line.back(), ',');
      seen += entries;
    }
    EXPECT_EQ(seen, count);
    EXPECT_EQ(lineCount, (count + kMaxEntriesPerLine - 1) / kMaxEntriesPerLine);
  }
}

TEST(DeckFormat, SetNamesAreChecked) {
  EXPECT_EQ(CheckSetName("B12"), "B12");
  EXPECT_NO_THROW(CheckSetName(std::string(80, 'A')));
  EXPECT_THROW(CheckSetName(std::string(81, 'A')), ExportError);
  EXPECT_THROW(CheckSetName(""), ExportError);
  EXPECT_THROW(CheckSetName("1B"), ExportError);
  EXPECT_THROW(CheckSetName("B, X"), ExportError);
  EXPECT_EQ(CommentText("a\nb\rc"), "a b c");
}

TEST(BeamMapping, RectanglePutsTheWidthAlongTheFirstAxis) {
  const auto s = MapBeamSection(qlSection::Rectangle(0.3, 0.1), false);
  EXPECT_EQ(s.sectionType, "RECT");
  EXPECT_EQ(s.dimensions, "0.1, 0.3");  // width along n1 = local y, height along n2 = local z
  EXPECT_FALSE(s.needsQuadratic);
  EXPECT_DOUBLE_EQ(s.outerSize, 0.3);
}

TEST(BeamMapping, PipeAndBoxNeedTheQuadraticBeam) {
  const auto pipe = MapBeamSection(qlSection::Pipe(0.2, 0.01), false);
  EXPECT_EQ(pipe.sectionType, "PIPE");
  EXPECT_EQ(pipe.dimensions, "0.1, 0.01");  // outer radius, wall
  EXPECT_TRUE(pipe.needsQuadratic);
  const auto box = MapBeamSection(qlSection::Box(0.3, 0.2, 0.01, 0.02), false);
  EXPECT_EQ(box.sectionType, "BOX");
  // width, height, then side wall, flange, side wall, flange
  EXPECT_EQ(box.dimensions, "0.2, 0.3, 0.01, 0.02, 0.01, 0.02");
  EXPECT_TRUE(box.needsQuadratic);
}

TEST(BeamMapping, IProfileNeedsTheEquivalentOption) {
  const auto profile = qlSection::IProfile(0.3, 0.15, 0.007, 0.011);
  EXPECT_THROW(MapBeamSection(profile, false), ExportError);
  const auto box = MapBeamSection(profile, true);
  EXPECT_EQ(box.sectionType, "BOX");
  EXPECT_EQ(box.dimensions, "0.15, 0.3, 0.0035, 0.011, 0.0035, 0.011");
  EXPECT_FALSE(box.note.empty());
  // The equivalent box keeps the area and the strong-axis second moment.
  const double h = 0.3, b = 0.15, tw = 0.007, tf = 0.011;
  const double areaI = 2 * b * tf + tw * (h - 2 * tf);
  const double areaBox = b * h - (b - tw) * (h - 2 * tf);
  EXPECT_NEAR(areaBox, areaI, 1e-15);
  const double iyI = (b * h * h * h - (b - tw) * std::pow(h - 2 * tf, 3)) / 12;
  const double iyBox = (b * h * h * h - (b - 2 * (tw / 2)) * std::pow(h - 2 * tf, 3)) / 12;
  EXPECT_NEAR(iyBox, iyI, 1e-18);
}

TEST(BeamMapping, GeneralSectionBecomesTheRectangleOfItsSecondMoments) {
  qlSectionProperties p;
  p.area = 0.02;
  p.iy = 0.1 * std::pow(0.3, 3) / 12;  // a 0.3 high, 0.1 wide rectangle
  p.iz = 0.3 * std::pow(0.1, 3) / 12;
  EXPECT_THROW(MapBeamSection(qlSection::General(p), false), ExportError);
  const auto s = MapBeamSection(qlSection::General(p), true);
  EXPECT_EQ(s.sectionType, "RECT");
  EXPECT_EQ(s.dimensions, "0.1, 0.3");
  EXPECT_NE(s.note.find("area"), std::string::npos);
}

TEST(BeamMapping, AnIProfileWhoseWebIsAsWideAsItsFlangesHasNoEquivalentBox) {
  EXPECT_THROW(MapBeamSection(qlSection::IProfile(0.3, 0.1, 0.1, 0.02), true), ExportError);
}

TEST(BeamMapping, FirstSectionAxisIsTheLocalYAxis) {
  struct Case {
    vec3d tangent, z, n1;
  } cases[] = {
      {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}},    // y = z x x
      {{1, 0, 0}, {0, 1, 0}, {0, 0, -1}},   // rotated by 90 degrees about x
      {{-1, 0, 0}, {0, 0, 1}, {0, -1, 0}},  // reversed element: n1 flips, n2 stays z
      {{1, 0, 0}, {0, 0, 0}, {0, 1, 0}},    // no local system: global Z up
      {{0, 0, 1}, {0, 0, 0}, {0, -1, 0}},   // vertical, no local system: z = global X
      {{1, 0, 0}, {0.5, 0, 2}, {0, 1, 0}},  // z not perpendicular: made so
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.tangent << " " << c.z);
    const vec3d n1 = SectionAxisN1(c.tangent, c.z);
    EXPECT_NEAR(n1.x, c.n1.x, 1e-12);
    EXPECT_NEAR(n1.y, c.n1.y, 1e-12);
    EXPECT_NEAR(n1.z, c.n1.z, 1e-12);
  }
  EXPECT_THROW(SectionAxisN1({1, 0, 0}, {2, 0, 0}), ExportError);
  const vec3d d(0.6, 0.0, 0.8);
  const vec3d p = AnyPerpendicular(d);
  EXPECT_NEAR(p.dot(d), 0.0, 1e-15);
  EXPECT_NEAR(p.length(), 1.0, 1e-15);
}

TEST(SolverNumbers, FortranExponentsWithoutTheLetterAreRead) {
  EXPECT_DOUBLE_EQ(ParseSolverNumber("-1.232595E-32"), -1.232595e-32);
  EXPECT_DOUBLE_EQ(ParseSolverNumber("0.1000000E+01"), 1.0);
  EXPECT_DOUBLE_EQ(ParseSolverNumber("1.234567-100"), 1.234567e-100);
  EXPECT_DOUBLE_EQ(ParseSolverNumber("-1.234567+100"), -1.234567e100);
  EXPECT_DOUBLE_EQ(ParseSolverNumber("42"), 42.0);
  for (const char* bad : {"", "abc", "1.0E", "NaN", "1.0x", "--1"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(ParseSolverNumber(bad), SolverError);
  }
}

// A .dat text as the solver prints it for two static steps and a frequency step.
const char* kDat = R"(
 displacements (vx,vy,vz) for set NMODEL and time  0.1000000E+01

         1  0.000000E+00  0.000000E+00  0.000000E+00
         3  3.679511E-18  1.907426E-12 -2.917289E-03

 forces (fx,fy,fz) for set NMODEL and time  0.1000000E+01

         1 -1.242006E-08 -1.845094E-07  1.000000E+03
         3 -1.323897E-08  1.429089E-07 -1.000000E+03

 displacements (vx,vy,vz) for set NMODEL and time  0.2000000E+01

         1  0.000000E+00  0.000000E+00  0.000000E+00
         3 -9.947555E-17 -1.121545E-02  1.293349-102

 forces (fx,fy,fz) for set NMODEL and time  0.2000000E+01

         1  5.798921E-08  1.000000E+03 -6.001524E-07
         3 -2.766422E-08 -1.000000E+03  3.042830E-07

     E I G E N V A L U E   O U T P U T

 MODE NO    EIGENVALUE                       FREQUENCY
                                     REAL PART            IMAGINARY PART
                           (RAD/TIME)      (CYCLES/TIME     (RAD/TIME)

      1   0.8326551E+03   0.2885576E+02   0.4592537E+01   0.0000000E+00
      2   0.3314222E+04   0.5756928E+02   0.9162435E+01   0.0000000E+00

     P A R T I C I P A T I O N   F A C T O R S

MODE NO.   X-COMPONENT     Y-COMPONENT     Z-COMPONENT     X-ROTATION      Y-ROTATION      Z-ROTATION

      1  -0.6856297E-13  -0.1000100E+02   0.8683561E-11   0.4283592E-17  -0.1736606E-10  -0.2000141E+02
)";

TEST(SolverResults, StepsAndFrequenciesAreReadInOrder) {
  const auto r = ParseCcxDat(kDat, 2, true);
  ASSERT_EQ(r.steps.size(), 2u);
  EXPECT_DOUBLE_EQ(r.steps[0].displacements.at(3).z, -2.917289e-03);
  EXPECT_DOUBLE_EQ(r.steps[0].reactions.at(1).z, 1000.0);
  EXPECT_DOUBLE_EQ(r.steps[1].displacements.at(3).y, -1.121545e-02);
  EXPECT_DOUBLE_EQ(r.steps[1].displacements.at(3).z, 1.293349e-102);
  EXPECT_DOUBLE_EQ(r.steps[1].reactions.at(1).y, 1000.0);
  EXPECT_EQ(r.steps[0].displacements.size(), 2u);
  ASSERT_EQ(r.frequencies.size(), 2u);  // the participation table is not read as modes
  EXPECT_DOUBLE_EQ(r.frequencies[0], 4.592537);
  EXPECT_DOUBLE_EQ(r.frequencies[1], 9.162435);
}

TEST(SolverResults, MissingResultsAreErrors) {
  EXPECT_THROW(ParseCcxDat(kDat, 3, false), SolverError);  // no third step
  EXPECT_THROW(ParseCcxDat("", 1, false), SolverError);
  const std::string staticOnly(kDat, std::string(kDat).find("     E I G E N"));
  EXPECT_NO_THROW(ParseCcxDat(staticOnly, 2, false));
  EXPECT_THROW(ParseCcxDat(staticOnly, 2, true), SolverError);  // frequencies asked, none printed
  std::string broken = kDat;
  broken.replace(broken.find("-2.917289E-03"), 13, "-2.917289Q-03");
  EXPECT_THROW(ParseCcxDat(broken, 2, true), SolverError);
}

// One static step, a frequency step with its tables and shapes, and a
// buckling step whose preloading prints under NBUCKLE before its factors.
constexpr const char* kModesDat = R"(
 displacements (vx,vy,vz) for set NMODEL and time  0.1000000E+01

         5  2.869748E-18  1.837777E-13 -2.999828E-03

 stresses (elem, integ.pnt.,sxx,syy,szz,sxy,sxz,syz) for set EOUT and time  0.1000000E+01

         1   1  1.202171E+07 -9.095352E+04 -1.026438E+05 -6.842917E+03 -2.000000E+05  3.421459E+04
         1   2  1.222700E+07  3.880507E+05  1.026438E+05 -6.842917E+03 -2.000000E+05 -3.421459E+04 _shell_1

     E I G E N V A L U E   O U T P U T

 MODE NO    EIGENVALUE                       FREQUENCY
      1   0.4430240E+04   0.6656005E+02   0.1059336E+02   0.0000000E+00

     P A R T I C I P A T I O N   F A C T O R S

MODE NO.   X-COMPONENT     Y-COMPONENT     Z-COMPONENT     X-ROTATION      Y-ROTATION      Z-ROTATION
      1  -0.2531706E-13  -0.2067785E+02  -0.1645771E-10   0.8084231E-05   0.2430588E-10  -0.2982787E+02

     E F F E C T I V E   M O D A L   M A S S

MODE NO.   X-COMPONENT     Y-COMPONENT     Z-COMPONENT     X-ROTATION      Y-ROTATION      Z-ROTATION
      1   0.6409536E-27   0.4275734E+03   0.2708563E-21   0.6535479E-10   0.5907758E-21   0.8897020E+03
TOTAL     0.1593011E-26   0.4275734E+03   0.4275437E+03   0.6535479E-10   0.8895870E+03   0.8897020E+03

                    E I G E N V A L U E   N U M B E R     1

 displacements (vx,vy,vz) for set NMODEL and time  0.2000000E+01

         5 -1.810618E-16 -2.272739E-01 -1.980083E-13

 displacements (vx,vy,vz) for set NBUCKLE and time  0.1000000E+01

         5 -1.904762E-06  2.989137E-19  2.442843E-18

     B U C K L I N G   F A C T O R   O U T P U T

 MODE NO       BUCKLING
                FACTOR
      1   0.1369569E+03
      2   0.5464491E+03

                    E I G E N V A L U E   N U M B E R     2

 displacements (vx,vy,vz) for set NBUCKLE and time  0.1000000E+01

         5  6.189227E-14  6.067577E-11  1.721624E-03
)";

TEST(SolverResults, ModesBucklingFactorsShapesAndStressesAreRead) {
  DatLayout layout;
  layout.staticSteps = 1;
  layout.frequencies = layout.buckling = true;
  std::vector<ElementStresses> stresses;
  const auto r = ParseCcxDat(kModesDat, layout, &stresses);
  // The buckling step's preloading leaves the static step alone.
  EXPECT_DOUBLE_EQ(r.steps.at(0).displacements.at(5).z, -2.999828e-03);
  ASSERT_EQ(stresses.size(), 1u);
  ASSERT_EQ(stresses[0].at(1).size(), 2u);
  EXPECT_DOUBLE_EQ(stresses[0].at(1)[1][4], -2.0e5);
  ASSERT_EQ(r.modes.size(), 1u);
  EXPECT_DOUBLE_EQ(r.modes[0].eigenvalue, 10.59336);
  EXPECT_DOUBLE_EQ(r.modes[0].participation[1], -20.67785);
  EXPECT_DOUBLE_EQ(r.modes[0].effectiveMass[5], 889.702);
  EXPECT_DOUBLE_EQ(r.modes[0].displacements.at(5).y, -2.272739e-01);
  ASSERT_EQ(r.buckling.size(), 2u);
  EXPECT_DOUBLE_EQ(r.buckling[1].eigenvalue, 546.4491);
  EXPECT_TRUE(r.buckling[0].displacements.empty());  // its shape was not printed
  EXPECT_DOUBLE_EQ(r.buckling[1].displacements.at(5).z, 1.721624e-03);
  layout.buckling = false;
  EXPECT_NO_THROW(ParseCcxDat(kModesDat, layout));
  EXPECT_THROW(ParseCcxDat(kDat, DatLayout{2, true, true}), SolverError);  // no buckling factors
}

// A mode's stresses are read as the mode's; a second stress block before
// the buckling factors (the buckling step's preloading printed through a
// request carried over from an earlier step) cannot be the same mode's or
// static step's and is an error, not the last mode's or step's stresses.
TEST(SolverResults, ABlockNoStepOrModeCanOwnIsAnError) {
  const auto block = [](const char* time, const char* sxx) {
    return std::string(" stresses (elem, integ.pnt.,sxx,syy,szz,sxy,sxz,syz) for set EOUT and time  ") +
           time + "\n\n         1   1  " + sxx + "  0.0E+00  0.0E+00  0.0E+00  0.0E+00  0.0E+00\n\n";
  };
  std::string dat = kModesDat;
  const std::size_t preload = dat.find(" displacements (vx,vy,vz) for set NBUCKLE");
  dat.insert(preload, block("0.2000000E+01", "7.0E+00"));
  DatLayout layout{1, true, true};
  std::vector<ElementStresses> stresses;
  ParseCcxDat(dat, layout, &stresses);
  ASSERT_EQ(stresses.size(), 2u);
  EXPECT_DOUBLE_EQ(stresses[1].at(1)[0][0], 7.0);
  dat.insert(dat.find(" displacements (vx,vy,vz) for set NBUCKLE"), block("0.1000000E+01", "9.0E+00"));
  EXPECT_THROW(ParseCcxDat(dat, layout, &stresses), SolverError);
  // The same for a static step: without a frequency step, the buckling
  // step's carried-over print comes at the last static step's time.
  std::string statics = kModesDat;
  statics.insert(statics.find("     E I G E N V A L U E   O U T P U T"), block("0.1000000E+01", "9.0E+00"));
  EXPECT_THROW(ParseCcxDat(statics, layout, &stresses), SolverError);
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver
