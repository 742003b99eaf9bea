// ObjReader::Read against tinyobjloader and against a plain line-by-line stream reader (getline
// and string streams, the straightforward form of the reader's rules) on one generated OBJ file
// of about a million triangles (105 MB). Before timing, the corners of ObjReader are compared
// byte for byte with the stream reader's; a difference fails the benchmark.
//
// Besides the rates: ReadObjSideBySide alternates the two readers (each timed read right after an
// untimed one by the same reader) and reports the median ratio of their wall times, and the Memory
// runs report what one read costs in resident memory: the rise of the peak (VmHWM, reset through
// /proc/self/clear_refs just before the read) against the allowance of 1.25 x (corner bytes + file
// bytes), and the rise that is left once the corners are freed (allowed: 16 MB). A read over either
// limit fails its run.
//
// The file is generated into the build folder (next to this program) at start.
#include <benchmark/benchmark.h>
#include <time.h>
#include <tiny_obj_loader.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/LargeBlock.h"
#include "resources/ObjReader.h"

using CorvaneEngine::MeshData;
using CorvaneEngine::MeshVertex;
using CorvaneEngine::ObjReader;

namespace {

constexpr int kGrid = 709;  // 708 x 708 quads, two triangles each: 1,002,528 triangles

std::filesystem::path BuildFolder() {
  char self[4096] = {};
  ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return std::filesystem::current_path();
  return std::filesystem::path(std::string(self, static_cast<size_t>(length))).parent_path();
}

// A wavy grid with its own normal and texture coordinate per vertex, triangles as "f" lines.
std::string Generate() {
  const std::filesystem::path path = BuildFolder() / "ReadObj_bench_grid.obj";
  std::string text;
  text.reserve(110u << 20);
  char line[160];
  text += "# generated grid\no grid\n";
  for (int y = 0; y < kGrid; ++y) {
    for (int x = 0; x < kGrid; ++x) {
      const double px = x * 0.037 - 13.1, pz = y * 0.041 - 14.5;
      const double py = std::sin(px * 0.7) * std::cos(pz * 0.3) * 2.25;
      const double nx = -std::cos(px * 0.7) * 0.7, nz = std::sin(pz * 0.3) * 0.3;
      const double length = std::sqrt(nx * nx + 1 + nz * nz);
      int n = std::snprintf(
          line, sizeof line, "v %.6f %.6f %.6f\nvt %.6f %.6f\nvn %.6f %.6f %.6f\n", px, py, pz,
          x / double(kGrid - 1), y / double(kGrid - 1), nx / length, 1 / length, nz / length);
      text.append(line, static_cast<size_t>(n));
    }
  }
  for (int y = 0; y + 1 < kGrid; ++y) {
    for (int x = 0; x + 1 < kGrid; ++x) {
      const int a = y * kGrid + x + 1, b = a + 1, c = a + kGrid, d = c + 1;
      int n = std::snprintf(line, sizeof line,
                            "f %d/%d/%d %d/%d/%d %d/%d/%d\nf %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a,
                            b, b, b, d, d, d, a, a, a, d, d, d, c, c, c);
      text.append(line, static_cast<size_t>(n));
    }
  }
  std::ofstream(path, std::ios::binary) << text;
  return path.string();
}

// The reader's rules written the plain way: one line at a time through a string stream.
std::vector<MeshVertex> StreamRead(const std::string& path) {
  std::ifstream in(path);
  std::vector<float> positions, normals, texCoords;
  std::vector<int> P, T, N, fP, fT, fN;
  std::vector<MeshVertex> corners;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::istringstream s(line);
    if (line[0] == 'v') {
      const bool normal = line.size() > 1 && line[1] == 'n';
      const bool texture = line.size() > 1 && line[1] == 't';
      s.ignore(normal || texture ? 2 : 1);
      float a = 0, b = 0, c = 0;
      s >> a >> b;
      if (texture) {
        texCoords.insert(texCoords.end(), {a, b});
      } else {
        s >> c;
        (normal ? normals : positions).insert((normal ? normals : positions).end(), {a, b, c});
      }
    } else if (line[0] == 'f') {
      s.ignore(1);
      fP.clear(), fT.clear(), fN.clear();
      int v;
      while (s >> v) {
        if (s.peek() == '/') {
          s.ignore(1);
          if (s.peek() == '/') {
            s.ignore(1);
          } else {
            int t;
            s >> t;
            fT.push_back(t);
            s.ignore(1);
          }
          int n;
          s >> n;
          fN.push_back(n);
        }
        fP.push_back(v);
      }
      if (fP.size() != 3 && fP.size() != 4) return {};
      for (int i :
           fP.size() == 3 ? std::vector<int>{0, 1, 2} : std::vector<int>{0, 1, 2, 0, 2, 3}) {
        P.push_back(fP[i]), T.push_back(fT[i]), N.push_back(fN[i]);
      }
    }
  }
  for (size_t i = 0; i < P.size(); ++i) {
    MeshVertex corner = {};
    if (P[i] < 1 || size_t(P[i]) * 3 > positions.size() || N[i] < 1 ||
        size_t(N[i]) * 3 > normals.size() || T[i] < 1 || size_t(T[i]) * 2 > texCoords.size()) {
      return {};  // the generated file is well formed; this is no place to go past a list
    }
    std::memcpy(corner.position, &positions[3 * (P[i] - 1)], 12);
    std::memcpy(corner.normal, &normals[3 * (N[i] - 1)], 12);
    std::memcpy(corner.texCoord, &texCoords[2 * (T[i] - 1)], 8);
    corners.push_back(corner);
  }
  return corners;
}

struct Fixture {
  std::string path = Generate();
  uint64_t bytes = std::filesystem::file_size(path);
  bool cornersMatch = false;
  Fixture() {
    std::vector<MeshVertex> reference = StreamRead(path);
    MeshData* data = ObjReader::Read(path.c_str());
    cornersMatch =
        data != nullptr && !reference.empty() && data->vertexCount == reference.size() &&
        std::memcmp(data->vertices, reference.data(), reference.size() * sizeof(MeshVertex)) == 0;
    MeshData::Free(data);
  }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

double ProcessCpuSeconds() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

// Rates by wall clock (the Time column) and, since the machine may be shared, by the CPU time of
// the whole process (both of ObjReader's threads): "bytes_per_cpu_second".
template <typename Body>
void Measure(benchmark::State& state, Body body) {
  Fixture& f = Shared();
  const double cpuStart = ProcessCpuSeconds();
  for (auto _ : state) body(f);
  const double cpu = ProcessCpuSeconds() - cpuStart;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes));
  state.counters["bytes_per_cpu_second"] =
      benchmark::Counter(static_cast<double>(state.iterations() * f.bytes) / cpu);
}

void BM_ReadObj(benchmark::State& state) {
  if (!Shared().cornersMatch) state.SkipWithError("corners differ from the stream reader's");
  Measure(state, [](Fixture& f) {
    MeshData* data = ObjReader::Read(f.path.c_str());
    benchmark::DoNotOptimize(data);
    MeshData::Free(data);
  });
}

void BM_TinyObjLoader(benchmark::State& state) {
  Measure(state, [&](Fixture& f) {
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    bool ok = tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, f.path.c_str());
    if (!ok || shapes.empty()) state.SkipWithError("tinyobjloader failed");
    benchmark::DoNotOptimize(shapes);
  });
}

void BM_StreamReader(benchmark::State& state) {
  Measure(state, [](Fixture& f) {
    std::vector<MeshVertex> corners = StreamRead(f.path);
    benchmark::DoNotOptimize(corners);
  });
}

// A field of /proc/self/status in bytes (the kernel gives kB); -1 when it cannot be read.
double StatusBytes(const char* field) {
  std::ifstream status("/proc/self/status");
  const std::string prefix = std::string(field) + ":";
  for (std::string line; std::getline(status, line);) {
    if (line.compare(0, prefix.size(), prefix) == 0)
      return std::atof(line.c_str() + prefix.size()) * 1024;
  }
  return -1;
}

// Runs `read` once per iteration, which returns the bytes of what it built, and reports the rise
// of resident memory at the peak and after `read` has freed it, in MB.
template <typename Read>
void MeasureMemory(benchmark::State& state, Read read, bool checked) {
  Fixture& f = Shared();
  for (auto _ : state) {
    const double before = StatusBytes("VmRSS");
    std::ofstream("/proc/self/clear_refs") << "5";  // VmHWM := VmRSS
    const double builtBytes = read(f);
    const double peakRise = StatusBytes("VmHWM") - before;
    const double afterFreeRise = StatusBytes("VmRSS") - before;
    const double allowance = 1.25 * (builtBytes + static_cast<double>(f.bytes));
    state.counters["peak_rise_MB"] = peakRise / 1e6;
    state.counters["after_free_rise_MB"] = afterFreeRise / 1e6;
    if (checked) {
      state.counters["peak_allowance_MB"] = allowance / 1e6;
      if (before < 0 || peakRise > allowance || afterFreeRise > 16e6) {
        state.SkipWithError("the read used more memory than allowed");
      }
    }
  }
}

void BM_ReadObjMemory(benchmark::State& state) {
  MeasureMemory(
      state,
      [](Fixture& f) {
        MeshData* data = ObjReader::Read(f.path.c_str());
        const double bytes = data != nullptr ? data->vertexCount * double(sizeof(MeshVertex)) : 0;
        MeshData::Free(data);
        return bytes;
      },
      true);
}

void BM_TinyObjLoaderMemory(benchmark::State& state) {
  MeasureMemory(
      state,
      [](Fixture& f) {
        tinyobj::attrib_t attrib;
        std::vector<tinyobj::shape_t> shapes;
        std::vector<tinyobj::material_t> materials;
        std::string warn, err;
        tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, f.path.c_str());
        return 0.0;
      },
      false);
}

// Both readers in one loop, taking turns going first; the median of the per-pair ratios holds
// steady when the machine's load swings between runs. The ratio of CPU times (ObjReader's over
// both its threads) is given as well: on a busy machine a second core is often not to be had.
void BM_ReadObjSideBySide(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  struct Times {
    double wall, cpu;
  };
  Fixture& f = Shared();
  // An untimed read by the same reader comes first, so that the timed one takes memory just given
  // back, as a read in a series does. Without it the timed read may get pages that the machine had
  // handed back to its host (virtual machines with free page reporting do so a couple of seconds
  // after a free), and faulting those in again made single reads of either reader up to three
  // times slower at random.
  auto timed = [](auto read) {
    read();
    const Clock::time_point start = Clock::now();
    const double cpuStart = ProcessCpuSeconds();
    read();
    return Times{std::chrono::duration<double>(Clock::now() - start).count(),
                 ProcessCpuSeconds() - cpuStart};
  };
  auto engine = [&] {
    MeshData* data = ObjReader::Read(f.path.c_str());
    benchmark::DoNotOptimize(data);
    MeshData::Free(data);
  };
  auto reference = [&] {
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, f.path.c_str());
    benchmark::DoNotOptimize(shapes);
  };
  std::vector<double> wallRatios, cpuRatios;
  bool engineFirst = true;
  for (auto _ : state) {
    Times engineTimes, referenceTimes;
    if (engineFirst) {
      engineTimes = timed(engine);
      referenceTimes = timed(reference);
    } else {
      referenceTimes = timed(reference);
      engineTimes = timed(engine);
    }
    engineFirst = !engineFirst;
    wallRatios.push_back(referenceTimes.wall / engineTimes.wall);
    cpuRatios.push_back(referenceTimes.cpu / engineTimes.cpu);
  }
  std::sort(wallRatios.begin(), wallRatios.end());
  std::sort(cpuRatios.begin(), cpuRatios.end());
  state.counters["tinyobjloader_over_ObjReader_wall"] = wallRatios[wallRatios.size() / 2];
  state.counters["tinyobjloader_over_ObjReader_cpu"] = cpuRatios[cpuRatios.size() / 2];
}

// What each speed-only part of ObjReader gains on this file: reads with the part (the engine's
// way) and without it take turns going first, and the median of the per-pair gains in wall time
// is reported ("gain" 0.25: without the part a read takes 25% longer), and of the gains in
// processor time. Reads without the part must give the same corners.
enum Part { kSecondThread, kOwnNumberReader, kHugePages };

void ReadWith(const char* path, Part part, bool with, MeshData** data) {
  ObjReader::Method method;
  if (part == kSecondThread) method.secondThread = with;
  if (part == kOwnNumberReader) method.ownNumberReader = with;
  CorvaneEngine::LargeBlock::hugePages = part != kHugePages || with;
  *data = ObjReader::Read(path, method);
  CorvaneEngine::LargeBlock::hugePages = true;
}

void BM_ReadObjPartGain(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const Part part = static_cast<Part>(state.range(0));
  Fixture& f = Shared();
  MeshData *with = nullptr, *without = nullptr;
  ReadWith(f.path.c_str(), part, true, &with);
  ReadWith(f.path.c_str(), part, false, &without);
  const bool same =
      with != nullptr && without != nullptr && with->vertexCount == without->vertexCount &&
      std::memcmp(with->vertices, without->vertices, with->vertexCount * sizeof(MeshVertex)) == 0;
  MeshData::Free(with);
  MeshData::Free(without);
  if (!same) state.SkipWithError("the corners differ without the part");
  struct Times {
    double wall, cpu;
  };
  auto timed = [&](bool withPart) {
    MeshData* data = nullptr;
    const Clock::time_point start = Clock::now();
    const double cpuStart = ProcessCpuSeconds();
    ReadWith(f.path.c_str(), part, withPart, &data);
    const Times times{std::chrono::duration<double>(Clock::now() - start).count(),
                      ProcessCpuSeconds() - cpuStart};
    MeshData::Free(data);
    return times;
  };
  std::vector<double> gains, cpuGains;
  bool withFirst = true;
  for (auto _ : state) {
    const Times first = timed(withFirst), second = timed(!withFirst);
    const Times& with = withFirst ? first : second;
    const Times& without = withFirst ? second : first;
    gains.push_back(without.wall / with.wall - 1);
    cpuGains.push_back(without.cpu / with.cpu - 1);
    withFirst = !withFirst;
  }
  std::sort(gains.begin(), gains.end());
  std::sort(cpuGains.begin(), cpuGains.end());
  state.counters["gain"] = gains[gains.size() / 2];
  // Processor time over both threads: what a part saves where no second core is free.
  state.counters["cpu_gain"] = cpuGains[cpuGains.size() / 2];
}

}  // namespace

// Wall-clock rates (ObjReader reads large files on two threads); medians of a few repetitions,
// since one slow repetition on a busy machine says little.
BENCHMARK(BM_ReadObj)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0)->Repetitions(5);
BENCHMARK(BM_TinyObjLoader)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);
BENCHMARK(BM_StreamReader)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3);
BENCHMARK(BM_ReadObjSideBySide)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(9);
BENCHMARK(BM_ReadObjMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_TinyObjLoaderMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_ReadObjPartGain)
    ->ArgName("part")
    ->Arg(kSecondThread)
    ->Arg(kOwnNumberReader)
    ->Arg(kHugePages)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(9);
