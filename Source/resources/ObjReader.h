// ObjReader: reads the subset of Wavefront OBJ that the engine's meshes use: "v", "vn" and "vt"
// lines and triangle or quad faces. A face corner is "p/t/n", "p//n", "p/t" or "p"; an index
// counts from 1, or back from the last line of its kind read so far when negative. A corner
// without a normal gets the face's own flat normal, one without a texture coordinate (0, 0).
// Quads become the triangles 0-1-2 and 0-2-3; the corners are built once the whole file is read,
// so faces may name vertices that come later in the file. Other lines are skipped.
//
// Damaged files never make it read outside its lists:
// - a face with other than 3 or 4 references: "Too many sided polygon detected!" in the log and
//   no mesh;
// - a file without a position line: "<path> does not contain any vertices" on standard error
//   and no mesh;
// - a face with an index that is 0 or names no vertex of its list is left out whole; the rest
//   of the file is the mesh, and one log line says how many faces were left out;
// - a "v", "vn" or "vt" line with too few numbers keeps its place in the numbering, the missing
//   numbers read as 0, and one log line says how many such lines there were;
// - a file that cannot be opened, or is no regular file (a FIFO, a device, a folder): a log line
//   and no mesh, without waiting.
// When SIGTERM or SIGINT asks the program to end (QuitSignal), a read stops at the next block of
// lines and gives no mesh.
//
// The whole file is mapped and parsed in place (hand-written number parsing that rounds exactly
// as the C library does); large files are cut into blocks at line breaks, which two threads take
// in turn. The lines of each kind are counted first, so every list is allocated once at its size.
// Memory: the file's pages, the vertex lists and the face references while the lines are read;
// then the file is let go, and the corners are made in the references' own block, grown in place.
// Nothing is kept after a read.
//
// Threads: any thread.
#pragma once

#include "resources/MeshData.h"

namespace CorvaneEngine {

class ObjReader {
 public:
  // How a read is done. The defaults are the engine's way; the others are there for the read's
  // benchmark, which shows in one run what each part gains.
  struct Method {
    bool secondThread = true;     // false: every block on the calling thread
    bool ownNumberReader = true;  // false: numbers read by the C library (strtof, strtoll)
  };

  // The corners of the file at `path`, or null (see above).
  static MeshData* Read(const char* path);
  static MeshData* Read(const char* path, const Method& method);
};

}  // namespace CorvaneEngine
