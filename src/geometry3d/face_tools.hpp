#pragma once
// Making faces (meshes, balls, tubes, cylinders, barns) and reshaping runs of
// faces: rigid moves, mirrors, scaling, and deformations that move every
// defining corner of a face (VB, VB + VH, VB + VV) through a point map.
//
// Makers give outward normals (VH × VV pointing out of the solid); solids
// are triangles (shape 1), flat pieces parallelograms (shape 0).
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "geometry3d/polygon_store.hpp"
#include "geometry3d/vector_math.hpp"

namespace vx::geometry3d {

inline constexpr std::int32_t kShapeQuad = 0;
inline constexpr std::int32_t kShapeTriangle = 1;
inline constexpr std::int32_t kShapeMarker = 100;
inline constexpr std::int32_t kSegmentsMin = 3;     // slices of a round solid
inline constexpr std::int32_t kSegmentsMax = 1000;  // slices, stacks, mesh cells on a side

// A flat grid of columns × rows parallelograms, each cell (cell_x, cell_y),
// in the x-y plane from `corner`, facing +z. Empty for counts outside 1..1000.
std::vector<Face> MeshFaces(int columns, int rows, double cell_x, double cell_y, Vec3 corner, Vec3 rgb);
// A sphere of `slices` around the z axis and `stacks` from pole to pole
// (3..1000 and 2..1000): 2·slices·(stacks − 1) triangles, plus two marker
// records (shape 100, VB at the poles, zero edges) when asked.
std::vector<Face> BallFaces(Vec3 centre, double radius, int slices, int stacks, bool markers, Vec3 rgb);
// The side of a tube along +z from the centre of its bottom:
// 2·slices·segments triangles.
std::vector<Face> TubeFaces(Vec3 bottom, double radius, double length, int slices, int segments, Vec3 rgb);
// A closed cylinder: the tube of one segment and two fans of `slices`
// triangles: 4·slices faces.
std::vector<Face> CylinderFaces(Vec3 bottom, double radius, double length, int slices, Vec3 rgb);
// A barn: a box of walls with a gable roof along x: a floor, four walls and
// two roof slopes (parallelograms) and two gable ends (triangles): 9 faces.
// A negative roof height makes a valley: the end walls are then cut below
// the eaves, three triangles each: 11 faces.
std::vector<Face> BarnFaces(Vec3 size, double roof_height, Vec3 corner, Vec3 rgb);

// The corners a face is drawn through: 3 for a triangle, 4 otherwise.
int CornerCount(const Face& f);
Vec3 Corner(const Face& f, int k);  // k 0..3: VB, VB+VH, VB+VH+VV, VB+VV (triangles: VB, VB+VH, VB+VV)
Vec3 FaceCentre(const Face& f);

// Bounds of the corners of faces (empty span: nullopt).
struct Bounds {
  Vec3 low;
  Vec3 high;
};
std::optional<Bounds> BoundsOf(std::span<const Face> faces);

// A map of points. Faces are mapped by their three defining corners; a map
// that reverses orientation (a mirror) swaps VH and VV so the normal keeps
// pointing the same way out of the solid.
using PointMap = std::function<Vec3(Vec3)>;
void MapFaces(std::span<Face> faces, const PointMap& map, bool reverses = false);

// The linear map m about `centre`; reverses when det m < 0.
void TransformFaces(std::span<Face> faces, const Mat3& m, Vec3 centre);
// Euler angles in degrees: about x by roll, then y by pitch, then z by yaw.
Mat3 EulerMatrix(double yaw, double pitch, double roll);

// Each face's corners pulled toward its own centre: factor 1 keeps it,
// 0.5 halves it.
void ShrinkFaces(std::span<Face> faces, double factor);
// Each face moved away from `centre` by `distance` along the line from
// `centre` to its centre (a face at the centre stays).
void ExplodeFaces(std::span<Face> faces, Vec3 centre, double distance);
// Bends about the y axis: the x offset from `centre` becomes an arc of a
// circle of `radius` below the centre, heights above it following.
void BendFaces(std::span<Face> faces, Vec3 centre, double radius);
// Each face thickened into a plate: the face itself, its copy moved by
// `thickness` against its normal (turned to face away) and one side face
// per edge. Returns the new faces (not the originals).
std::vector<Face> PlateFaces(std::span<const Face> faces, double thickness);

}  // namespace vx::geometry3d
