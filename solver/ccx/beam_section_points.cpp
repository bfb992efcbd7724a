// Integration points of pipe and box sections as the solver places them.
#include "solver/ccx/beam_section_points.hpp"

#include <cmath>

#include "solver/shared/solve_results.hpp"

namespace Kestrum::Quilm::Solver::detail {
namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<SectionPoint> PipePoints(double outerRadius, double wall) {
  const double inner = outerRadius - wall;
  const double rms = std::sqrt((outerRadius * outerRadius + inner * inner) / 2.0);
  const double share = kPi * (outerRadius * outerRadius - inner * inner) / 8.0;
  std::vector<SectionPoint> points;
  for (int k = 0; k < 8; ++k) {
    const double angle = k * kPi / 4.0;
    points.push_back({rms * std::sin(angle), -rms * std::cos(angle), share});
  }
  return points;
}

// Walls as straight middle lines from corner to corner, each integrated by
// Simpson's rule with four intervals times its thickness.
struct Wall {
  double from1, from2, to1, to2;  // its corners' offsets along n1 and n2
  double thickness;
};

std::vector<SectionPoint> BoxPoints(double width1, double width2, double sideWall, double flange) {
  // The corners of the walls' middle lines, in the solver's order round the box.
  const double c1 = (width1 - sideWall) / 2.0, c2 = (width2 - flange) / 2.0;
  const Wall walls[4] = {{c1, -c2, c1, c2, sideWall},
                         {c1, c2, -c1, c2, flange},
                         {-c1, c2, -c1, -c2, sideWall},
                         {-c1, -c2, c1, -c2, flange}};
  constexpr double kSimpson[5] = {1.0 / 12, 4.0 / 12, 2.0 / 12, 4.0 / 12, 1.0 / 12};
  std::vector<SectionPoint> points(16);
  for (std::size_t w = 0; w < 4; ++w) {
    const Wall& wall = walls[w];
    const double length = std::hypot(wall.to1 - wall.from1, wall.to2 - wall.from2);
    for (std::size_t k = 0; k <= 4; ++k) {
      SectionPoint& point = points[(4 * w + k) % 16];  // the last is the next wall's first
      const double s = k / 4.0;
      point.along1 = wall.from1 + s * (wall.to1 - wall.from1);
      point.along2 = wall.from2 + s * (wall.to2 - wall.from2);
      point.area += kSimpson[k] * length * wall.thickness;
    }
  }
  return points;
}

}  // namespace

std::vector<SectionPoint> SolverSectionPoints(const DeckBeam& beam) {
  switch (beam.recovery) {
    case DeckBeam::Recovery::PipeStresses:
      return PipePoints(beam.width1 / 2.0, beam.wall1);
    case DeckBeam::Recovery::BoxStresses:
      return BoxPoints(beam.width1, beam.width2, beam.wall1, beam.wall2);
    default:
      throw SolverError("element " + std::to_string(beam.solverElement) + " is neither a pipe nor a box");
  }
}

}  // namespace Kestrum::Quilm::Solver::detail
