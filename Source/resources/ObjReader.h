// ObjReader: reads the subset of Wavefront OBJ that the engine's meshes use: "v", "vn" and "vt"
// lines and triangle or quad faces "f v/t/n ...", every face with all three indices. Quads
// become the triangles 0-1-2 and 0-2-3; the corners are built once the whole file is read, so
// faces may name vertices that come later in the file. Other lines are skipped.
//
// Damaged files never make it read outside its lists:
// - a face with other than 3 or 4 references: "Too many sided polygon detected!" in the log and
//   no mesh;
// - a file without a position line: "<path> does not contain any vertices" on standard error
//   and no mesh;
// - a face with a missing texture or normal index, or an index that is 0, negative or past its
//   list at the end of the file, is left out whole; the rest of the file is the mesh, and one
//   log line says how many faces were left out;
// - a "v", "vn" or "vt" line with too few numbers keeps its place in the numbering, the missing
//   numbers read as 0, and one log line says how many such lines there were;
// - a file that cannot be opened: a log line and no mesh.
//
// The whole file is read at once and parsed in place (hand-written number parsing that rounds
// exactly as the C library does); large files are cut into blocks at line breaks, which two
// threads take in turn. The lists of the last read are kept for the next one (up to 192 MB), and
// the corners go into memory that need not be cleared first (see LargeBlock).
//
// Threads: any thread; the kept lists are handed over under a mutex.
#pragma once

#include "resources/Mesh_GL.h"

namespace CorvaneEngine {

class ObjReader {
 public:
  // The corners of the file at `path`, or null (see above).
  static MeshData* Read(const char* path);
};

}  // namespace CorvaneEngine
