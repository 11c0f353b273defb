// The cost of the exported calls as a host sees it: each library given on the command line (by
// default the library built beside this program and its variant without caches) is loaded with
// dlopen, driven through its C interface with its trace sent to /dev/null, and every figure is
// printed as one column per library, so that the variants compare side by side in one run.
//
//   abi_calls [library.so ...]
//
// Figures are medians over the calls measured, CPU time of the process and wall time, in
// milliseconds. "first" is the first call in a fresh process (measured in a child process). The
// calls that write wait for one commit each; their wall time beyond their CPU time is the disk's.
// Rows ending in ", elastic" are the same calls with the elastic matcher chosen, beside those of
// the default matcher.
// Below the table: the heap that an engine keeps after identifying among 100 actions (its caches)
// and the peak resident size of that scenario.
#include <dlfcn.h>
#include <fcntl.h>
#include <malloc.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/SampleText.h"
#include "gestal.h"
#include "synth/MotionSynth.h"

namespace {

namespace fs = std::filesystem;
using GestalPrivate::MotionSample;
using GestalSynth::Shape;

// The exports the benchmark calls, looked up in one loaded library.
struct Library {
  std::string path;
  void* handle = nullptr;
  decltype(&GetControllerHelperObject) create = nullptr;
  decltype(&Shutdown) shutdown = nullptr;
  decltype(&AddSignature) addSignature = nullptr;
  decltype(&IdentifySignature) identifySignature = nullptr;
  decltype(&DeleteAction) deleteAction = nullptr;
  decltype(&VerifyGesture) verifyGesture = nullptr;
  decltype(&SetCustomGesture) setCustomGesture = nullptr;
  decltype(&IdentifyCustomGesture) identifyCustomGesture = nullptr;
  decltype(&DeleteGSCustomGestureRecognizeGesture) deleteResult = nullptr;
  decltype(&GestalSetMatcher) setMatcher = nullptr;
  decltype(&GestalSetMinConfidence) setMinConfidence = nullptr;

  explicit Library(const std::string& file) : path(file) {
    handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) throw std::runtime_error(dlerror());
    bind(create, "GetControllerHelperObject");
    bind(shutdown, "Shutdown");
    bind(addSignature, "AddSignature");
    bind(identifySignature, "IdentifySignature");
    bind(deleteAction, "DeleteAction");
    bind(verifyGesture, "VerifyGesture");
    bind(setCustomGesture, "SetCustomGesture");
    bind(identifyCustomGesture, "IdentifyCustomGesture");
    bind(deleteResult, "DeleteGSCustomGestureRecognizeGesture");
    bind(setMatcher, "GestalSetMatcher");
    bind(setMinConfidence, "GestalSetMinConfidence");
  }

  template <typename Function>
  void bind(Function& function, const char* name) {
    function = reinterpret_cast<Function>(dlsym(handle, name));
    if (function == nullptr) throw std::runtime_error(path + " lacks " + name);
  }

  // Makes `directory` the engine's directory (a new engine replaces the previous one), with
  // `matcher` identifying. The elastic matcher's minimum confidence is set to the documented
  // default, so that its figures (and what its genuine identifications learn) stay comparable
  // across versions.
  void open(const std::string& directory, int32_t matcher = GESTAL_MATCHER_LCS) {
    if (helper != nullptr) shutdown(helper);
    helper = create(directory.c_str(), directory.size());
    if (helper == nullptr) throw std::runtime_error("cannot create a helper on " + directory);
    if (matcher != GESTAL_MATCHER_LCS &&
        (!setMatcher(helper, matcher) || !setMinConfidence(helper, 1.0f))) {
      throw std::runtime_error(path + " refuses matcher " + std::to_string(matcher));
    }
  }

  GestalHandle helper = nullptr;
};

// One measured call: process CPU and wall milliseconds.
struct Cost {
  double cpu;
  double wall;
};

double cpuMillis() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

template <typename Call>
Cost measure(Call&& call) {
  const double cpu = cpuMillis();
  const auto wall = std::chrono::steady_clock::now();
  call();
  return {
      cpuMillis() - cpu,
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall).count()};
}

Cost median(std::vector<Cost> costs) {
  if (costs.empty()) return {-1, -1};
  const auto middle = [&](auto field) {
    std::vector<double> values;
    for (const Cost& c : costs) values.push_back(c.*field);
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
  };
  return {middle(&Cost::cpu), middle(&Cost::wall)};
}

// Repeats `call` at least `least` times and until `budgetMillis` of wall time are spent (at most
// `most` times).
template <typename Call>
std::vector<Cost> repeat(Call&& call, int least, int most, double budgetMillis) {
  std::vector<Cost> costs;
  double spent = 0.0;
  while (static_cast<int>(costs.size()) < most &&
         (static_cast<int>(costs.size()) < least || spent < budgetMillis)) {
    costs.push_back(measure(call));
    spent += costs.back().wall;
  }
  return costs;
}

// Recordings, the same for every library.
std::vector<float> performance(uint64_t user, Shape shape, uint64_t repetition) {
  return GestalSynth::flatten(GestalSynth::perform(GestalSynth::makeUser(user), shape, repetition));
}

uint64_t entries(const std::vector<float>& data) {
  return data.size() / 10;
}

bool enrolmentComplete = false;

void noteEnrolment(GestalAction*, GestalStatusBlock* status, float progress, int32_t*) {
  enrolmentComplete = status->error == GESTAL_ERROR_NONE && progress >= 1.0f;
}

// The calls of enrolments, by what they write: the first sample stores the action's row, the one
// that completes stores the signatures, the others store nothing.
struct EnrolmentCosts {
  std::vector<Cost> first;
  std::vector<Cost> completing;
  std::vector<Cost> other;
};

// The recording whose custom identification is measured.
std::vector<float> customProbe() {
  return performance(1000, Shape::LetterC, 9);
}

// Enrols actions 1 to `actions` (user k performs action k) as a host does, each AddSignature call
// measured, then stores signatures the way adaptive learning does until each action holds 15.
void enrol(Library& library, const std::string& directory, int actions, EnrolmentCosts& costs) {
  library.open(directory);
  for (int action = 1; action <= actions; ++action) {
    enrolmentComplete = false;
    for (uint64_t repetition = 0; !enrolmentComplete && repetition < 20; ++repetition) {
      const std::vector<float> data = performance(action, Shape::Signature, repetition);
      const Cost cost = measure([&] {
        library.addSignature(nullptr, action, data.data(), entries(data), 10, noteEnrolment);
      });
      (repetition == 0     ? costs.first
       : enrolmentComplete ? costs.completing
                           : costs.other)
          .push_back(cost);
    }
  }
  sqlite3* db = nullptr;
  sqlite3_open((directory + "gestal.db").c_str(), &db);
  sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "insert into sign (item_no, time, signature) values (?1, ?2, ?3)", -1,
                     &insert, nullptr);
  const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  for (int action = 1; action <= actions; ++action) {
    for (int k = 0; k < 12; ++k) {
      const std::string text = GestalPrivate::writeSampleText(
          GestalSynth::perform(GestalSynth::makeUser(action), Shape::Signature, 100 + k));
      sqlite3_bind_int64(insert, 1, action);
      sqlite3_bind_int64(insert, 2, now + k);
      sqlite3_bind_text(insert, 3, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
      sqlite3_step(insert);
      sqlite3_reset(insert);
    }
  }
  sqlite3_finalize(insert);
  sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

// Defines `count` custom gestures of three samples each, every SetCustomGesture measured.
void defineGestures(Library& library, int count, std::vector<Cost>& setCosts) {
  const Shape shapes[] = {Shape::Heart, Shape::LetterC, Shape::SwipeDown, Shape::Circle,
                          Shape::ZigZag};
  for (int index = 1; index <= count; ++index) {
    std::vector<float> data;
    std::vector<int32_t> lengths;
    for (uint64_t repetition = 0; repetition < 3; ++repetition) {
      const std::vector<float> one =
          performance(1000 + static_cast<uint64_t>(index / 5), shapes[index % 5], repetition);
      data.insert(data.end(), one.begin(), one.end());
      lengths.push_back(static_cast<int32_t>(entries(one)));
    }
    const std::vector<int32_t> entryLengths(lengths.size(), 10);
    setCosts.push_back(measure([&] {
      library.setCustomGesture(nullptr, index, data.data(), lengths.size(), lengths.data(),
                               entryLengths.data());
    }));
  }
}

// A fresh directory for one library and scenario, holding the default model.
std::string scratchDirectory(const fs::path& root, const std::string& name) {
  const fs::path dir = root / name;
  fs::create_directories(dir);
  fs::copy_file(GESTAL_SOURCE_DIR "/models/gestal_gesture_adaboost",
                dir / "gestal_gesture_adaboost", fs::copy_options::overwrite_existing);
  return dir.string() + "/";
}

// The first IdentifyCustomGesture of a fresh process on `directory` with `matcher`: this program
// run again in its --first-call mode, which reports the cost through a pipe.
Cost firstCustomIdentification(const std::string& libraryPath, const std::string& directory,
                               int32_t matcher) {
  int channel[2];
  if (pipe(channel) != 0) throw std::runtime_error("pipe");
  const pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    const std::string fd = std::to_string(channel[1]);
    const std::string matcherText = std::to_string(matcher);
    execl("/proc/self/exe", "abi_calls", "--first-call", libraryPath.c_str(), directory.c_str(),
          matcherText.c_str(), fd.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(channel[1]);
  Cost cost{-1, -1};
  const bool received = read(channel[0], &cost, sizeof cost) == static_cast<ssize_t>(sizeof cost);
  close(channel[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!received) throw std::runtime_error("the child measuring a first call failed");
  return cost;
}

// The child's side: load, open, one measured identification, its cost written to `fd`.
int measureFirstCall(const std::string& libraryPath, const std::string& directory, int32_t matcher,
                     int fd) {
  Library library(libraryPath);
  library.open(directory, matcher);
  const std::vector<float> probe = customProbe();
  const Cost cost = measure([&] {
    library.deleteResult(
        library.identifyCustomGesture(nullptr, nullptr, 0, probe.data(), entries(probe), 10));
  });
  return write(fd, &cost, sizeof cost) == static_cast<ssize_t>(sizeof cost) ? 0 : 1;
}

using Figures = std::map<std::string, Cost>;

// Megabytes of heap in use, and the peak resident size since the last reset.
double heapMegabytes() {
  return static_cast<double>(mallinfo2().uordblks) / (1024.0 * 1024.0);
}
void resetPeakResidentSize() {
  std::ofstream("/proc/self/clear_refs") << "5";
}
double peakResidentMegabytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return -1;
}

struct Memory {
  double engineHeap = -1;  // kept by the engine after identifying among 100 x 15
  double peakResident = -1;
};

// What ends the names of the elastic matcher's rows; the default matcher's rows have no suffix.
const std::string kElastic = ", elastic";

// Times IdentifySignature among actions 1 to `actions` of the library's open engine: genuine
// performances and an impostor's.
void identifySignatures(Library& library, int actions, const std::string& suffix,
                        Figures& figures) {
  std::vector<int32_t> candidates;
  for (int a = 1; a <= actions; ++a) candidates.push_back(a);
  const auto identify = [&](const std::vector<float>& data) {
    library.identifySignature(nullptr, data.data(), entries(data), 10, candidates.data(),
                              candidates.size(), nullptr);
  };
  // Genuine: a new performance by the user of one of the candidate actions, made before the
  // calls are timed.
  constexpr int kGenuineCalls = 30;
  std::vector<std::vector<float>> performances;
  for (uint64_t repetition = 200; repetition < 200 + kGenuineCalls; ++repetition) {
    const auto action = static_cast<uint64_t>(1 + repetition % actions);
    performances.push_back(performance(action, Shape::Signature, repetition));
  }
  std::size_t next = 0;
  const auto genuine = [&] { identify(performances[next++]); };
  const std::vector<float> stranger = performance(99999, Shape::Signature, 1);
  const std::string size = std::to_string(actions) + " x 15";
  figures["IdentifySignature " + size + " genuine" + suffix] =
      median(repeat(genuine, 3, kGenuineCalls, 1500));
  figures["IdentifySignature " + size + " impostor" + suffix] =
      median(repeat([&] { identify(stranger); }, 3, 30, 1500));
}

Figures run(Library& library, const fs::path& root, Memory& memory) {
  Figures figures;
  EnrolmentCosts enrolments;
  for (int actions : {1, 20, 100}) {
    const std::string name = "signatures" + std::to_string(actions);
    const std::string dir = scratchDirectory(root, name);
    enrol(library, dir, actions, enrolments);
    // Genuine identifications may store signatures, so each matcher starts from its own copy of
    // the enrolled store.
    const fs::path elasticDir = root / (name + "-elastic");
    if (actions > 1) fs::copy(dir, elasticDir, fs::copy_options::recursive);
    if (actions == 100) resetPeakResidentSize();
    library.open(dir);
    const double heapBefore = heapMegabytes();
    identifySignatures(library, actions, "", figures);
    if (actions == 100) {
      memory.engineHeap = heapMegabytes() - heapBefore;
      memory.peakResident = peakResidentMegabytes();
    }
    if (actions > 1) {
      library.open(elasticDir.string() + "/", GESTAL_MATCHER_ELASTIC);
      identifySignatures(library, actions, kElastic, figures);
    }
  }
  figures["AddSignature first sample (writes the action)"] = median(enrolments.first);
  figures["AddSignature completing (writes the signatures)"] = median(enrolments.completing);
  figures["AddSignature other samples (write nothing)"] = median(enrolments.other);
  {
    // Deleting the enrolled actions of the 20-action store, one call each.
    const std::string dir = (root / "signatures20").string() + "/";
    library.open(dir);
    int32_t action = 0;
    figures["DeleteAction"] =
        median(repeat([&] { library.deleteAction(nullptr, ++action); }, 20, 20, 0));
  }

  const std::vector<float> heart = performance(7, Shape::Heart, 1);
  const int32_t all[] = {GESTAL_GESTURE_HEART, GESTAL_GESTURE_C, GESTAL_GESTURE_DOWN};
  const auto verify = [&] {
    library.verifyGesture(nullptr, all, 3, heart.data(), entries(heart), 10, nullptr);
  };
  figures["VerifyGesture"] = median(repeat(verify, 20, 1000, 300));

  std::vector<Cost> setCosts;
  const std::vector<float> probe = customProbe();
  const auto identifyCustom = [&] {
    library.deleteResult(
        library.identifyCustomGesture(nullptr, nullptr, 0, probe.data(), entries(probe), 10));
  };
  for (int count : {8, 50, 200}) {
    const std::string dir = scratchDirectory(root, "custom" + std::to_string(count));
    library.open(dir);
    defineGestures(library, count, setCosts);
    const auto first = [&](int32_t matcher) {
      std::vector<Cost> costs;
      for (int i = 0; i < 3; ++i) {
        costs.push_back(firstCustomIdentification(library.path, dir, matcher));
      }
      return median(costs);
    };
    const std::string among = "IdentifyCustomGesture among " + std::to_string(count);
    figures[among + " first"] = first(GESTAL_MATCHER_LCS);
    figures[among + " warm"] = median(repeat(identifyCustom, 5, 200, 500));
    figures[among + " first" + kElastic] = first(GESTAL_MATCHER_ELASTIC);
    library.open(dir, GESTAL_MATCHER_ELASTIC);
    figures[among + " warm" + kElastic] = median(repeat(identifyCustom, 5, 200, 500));
  }
  figures["SetCustomGesture (3 samples)"] = median(setCosts);
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  // The libraries' trace goes to /dev/null; the table to the original standard output.
  std::fflush(stdout);
  const int table = dup(STDOUT_FILENO);
  const int null = ::open("/dev/null", O_WRONLY);
  dup2(null, STDOUT_FILENO);
  close(null);

  if (argc == 6 && std::string(argv[1]) == "--first-call") {
    close(table);
    return measureFirstCall(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]));
  }
  std::vector<std::string> paths(argv + 1, argv + argc);
  if (paths.empty()) paths = {GESTAL_SHARED_LIBRARY, GESTAL_UNCACHED_LIBRARY};
  FILE* out = fdopen(table, "w");

  std::vector<Figures> columns;
  std::vector<Memory> memories;
  try {
    for (const std::string& path : paths) {
      const fs::path root =
          fs::temp_directory_path() /
          ("gestal-abi-calls-" + std::to_string(getpid()) + "-" + std::to_string(columns.size()));
      fs::remove_all(root);
      Library library(path);
      columns.push_back(run(library, root, memories.emplace_back()));
      fs::remove_all(root);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "abi_calls: %s\n", e.what());
    return 1;
  }

  constexpr int kNameWidth = 50;
  std::fprintf(out, "median per call, ms (CPU / wall)\n%-*s", kNameWidth, "");
  for (const std::string& path : paths) {
    std::fprintf(out, " | %-21s", fs::path(path).filename().c_str());
  }
  std::fprintf(out, "\n");
  for (const auto& [name, cost] : columns.front()) {
    std::fprintf(out, "%-*s", kNameWidth, name.c_str());
    for (const Figures& column : columns) {
      const Cost c = column.at(name);
      std::fprintf(out, " | %9.3f / %9.3f", c.cpu, c.wall);
    }
    std::fprintf(out, "\n");
  }
  std::fprintf(out, "%-*s", kNameWidth, "heap kept by the engine, 100 x 15, MB");
  for (const Memory& memory : memories) std::fprintf(out, " | %21.1f", memory.engineHeap);
  std::fprintf(out, "\n%-*s", kNameWidth, "peak resident size, 100 x 15, MB");
  for (const Memory& memory : memories) std::fprintf(out, " | %21.1f", memory.peakResident);
  std::fprintf(out, "\n");
  std::fclose(out);
  return 0;
}
