// gestal: the gesture designer's command. Conditions, shows, compares, plots and inspects
// recordings and databases, runs the library's operations on them, and evaluates how well a set of
// gestures separates. See docs/tools.md.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>
#include <functional>
#include <utility>

#include "tools/gestal/Commands.h"
#include "tools/gestal/Common.h"

namespace {

using namespace GestalTool;

// Status for a command line that cannot be understood.
constexpr int kUsageError = 2;

void addConditioningOptions(CLI::App* command, ConditioningChoice& choice) {
  command->add_option("--units", choice.units, "units of the primary vector: ms2 or g")
      ->capture_default_str();
  command
      ->add_option("--gravity", choice.gravity,
                   "lowpass: subtract a zero-phase low-pass of each axis; mean: subtract the "
                   "mean; keep")
      ->capture_default_str();
  command->add_option("--cutoff", choice.cutoffHz, "cut-off of the gravity low-pass, Hz")
      ->capture_default_str();
  command
      ->add_option("--axes", choice.axes,
                   "new x,y,z from the recorded axes with signs, e.g. x,-z,y turns z-up into y-up")
      ->capture_default_str();
  command
      ->add_option("--rate", choice.rateHz, "resample to this many readings per second (0 keeps)")
      ->capture_default_str();
  command->add_flag("--keep-time", choice.keepTime, "keep the recorded times (default: from 0 ms)");
}

// The matcher the library's identifications use, chosen right after the helper is created.
void addMatcherOption(CLI::App* command, std::string& matcher) {
  command
      ->add_option("--matcher", matcher,
                   "lcs: the symbol matcher the library starts with; elastic: the elastic matcher")
      ->check(CLI::IsMember({"lcs", "elastic"}))
      ->capture_default_str();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "gestal: look at, try and evaluate motion recordings for the gestal library.\n"
      "Recordings are CSV files of ten numbers per reading (see docs/input.md).",
      "gestal"};
  app.require_subcommand(1);
  app.fallthrough();
  bool trace = false;
  app.add_flag("--trace", trace, "show the library's trace lines (hidden by default)");
  std::vector<std::pair<CLI::App*, std::function<int()>>> commands;

  ConditionOptions condition;
  auto* c = app.add_subcommand("condition", "condition a recording for the library");
  c->add_option("input", condition.input, "recording to read")->required();
  c->add_option("-o,--output", condition.output, "recording to write")->required();
  addConditioningOptions(c, condition.conditioning);
  commands.emplace_back(c, [&] { return runCondition(condition); });

  std::string showPath;
  auto* s = app.add_subcommand(
      "show", "duration, rate, ranges, symbol strings, complexity and enrolment checks");
  s->add_option("recording", showPath, "recording to show")->required();
  commands.emplace_back(s, [&] { return runShow(showPath); });

  std::string first, second;
  auto* cmp = app.add_subcommand("compare", "similarity of two recordings and their alignment");
  cmp->add_option("first", first, "recording A")->required();
  cmp->add_option("second", second, "recording B")->required();
  commands.emplace_back(cmp, [&] { return runCompare(first, second); });

  PlotOptions plot;
  auto* p = app.add_subcommand("plot", "SVG of the primary axes over time with their symbols");
  p->add_option("recordings", plot.recordings, "recordings to overlay")->required();
  p->add_option("-o,--output", plot.output, "SVG file to write")->required();
  p->add_option("--title", plot.title, "title of the drawing");
  commands.emplace_back(p, [&] { return runPlot(plot); });

  std::string inspectDirectory;
  auto* i = app.add_subcommand("inspect", "what a database directory holds");
  i->add_option("directory", inspectDirectory, "database directory")->required();
  commands.emplace_back(i, [&] { return runInspect(inspectDirectory); });

  EnrolOptions enrol;
  auto* e = app.add_subcommand("enrol", "enrol a signature for an action (AddSignature)");
  e->add_option("directory", enrol.directory, "database directory (created when missing)")
      ->required();
  e->add_option("action", enrol.action, "action index, from 1")->required();
  e->add_option("recordings", enrol.recordings, "performances, offered in order")->required();
  commands.emplace_back(e, [&] { return runEnrol(enrol); });

  IdentifyOptions identify;
  auto* id =
      app.add_subcommand("identify", "which enrolled action a recording is (IdentifySignature)");
  id->add_option("directory", identify.directory, "database directory")->required();
  id->add_option("recording", identify.recording, "performance to identify")->required();
  id->add_option("-a,--action", identify.actions, "candidate actions (default: all)");
  addMatcherOption(id, identify.matcher);
  commands.emplace_back(id, [&] { return runIdentify(identify); });

  DefineOptions define;
  auto* d = app.add_subcommand("define", "store a custom gesture (SetCustomGesture)");
  d->add_option("directory", define.directory, "database directory (created when missing)")
      ->required();
  d->add_option("gesture", define.gesture, "gesture index, or a name")->required();
  d->add_option("recordings", define.recordings, "sample performances")->required();
  d->add_flag("--named", define.named, "store a number as a name (SetCustomGestureStr)");
  commands.emplace_back(d, [&] { return runDefine(define); });

  RecogniseOptions recognise;
  auto* r = app.add_subcommand("recognise", "identify a custom gesture (IdentifyCustomGesture)");
  r->add_option("directory", recognise.directory, "database directory")->required();
  r->add_option("recording", recognise.recording, "performance to identify")->required();
  r->add_option("-t,--target", recognise.targets, "candidate gestures (default: all indexes)");
  r->add_flag("--named", recognise.named, "identify among named gestures");
  addMatcherOption(r, recognise.matcher);
  r->add_option("--min-confidence", recognise.minConfidence,
                "lcs: answer no gesture below this confidence (1.2 keeps out most undefined "
                "gestures); elastic: the library's minimum (default 1.0, 0 answers the nearest)");
  commands.emplace_back(r, [&] { return runRecognise(recognise); });

  VerifyOptions verify;
  auto* v =
      app.add_subcommand("verify", "recognise a predefined gesture (VerifyPredefinedGesture)");
  v->add_option("directory", verify.directory, "database directory holding the model file")
      ->required();
  v->add_option("recording", verify.recording, "performance to recognise")->required();
  v->add_option("-m,--model", verify.model, "model file name in the directory")
      ->capture_default_str();
  v->add_option("-t,--target", verify.targets, "candidate gestures (default: all of the model)");
  commands.emplace_back(v, [&] { return runVerify(verify); });

  EvalOptions eval;
  auto* ev = app.add_subcommand(
      "eval", "accuracy of custom gestures and signatures on a folder of labelled recordings");
  ev->add_option("folder", eval.folder,
                 "one folder per gesture, files named USER-REP or USER-SESSION-REP")
      ->required();
  ev->add_option("--define", eval.definitions, "performances that define a gesture")
      ->capture_default_str();
  ev->add_option("--min-confidence", eval.minConfidence,
                 "symbol matcher confidence threshold also reported")
      ->capture_default_str();
  ev->add_option("--elastic-min-confidence", eval.elasticMinConfidence,
                 "elastic matcher confidence threshold also reported (1 is its own limit)")
      ->capture_default_str();
  ev->add_option("--impostors", eval.impostorsPerUser,
                 "performances of each other user tried against each signature")
      ->capture_default_str();
  ev->add_flag("--custom-only", eval.customOnly, "skip the signatures");
  ev->add_option("--report", eval.report, "write a self-contained HTML report");
  addConditioningOptions(ev, eval.conditioning);
  commands.emplace_back(ev, [&] { return runEval(eval); });

  ImportOptions import;
  auto* im = app.add_subcommand("import", "convert a public recording layout into eval's layout");
  im->add_option("layout", import.layout, "uwave or coremotion")->required();
  im->add_option("source", import.source, "folder of the layout's CSV files")->required();
  im->add_option("output", import.output, "folder to write")->required();
  commands.emplace_back(im, [&] { return runImport(import); });

  SynthOptions synth;
  auto* sy = app.add_subcommand("synth", "write synthesized recordings in eval's layout");
  sy->add_option("output", synth.output, "folder to write")->required();
  sy->add_option("--users", synth.users, "synthesized users")->capture_default_str();
  sy->add_option("--repetitions", synth.repetitions, "performances per user and gesture")
      ->capture_default_str();
  sy->add_option("--shapes", synth.shapes, "heart, c, down, circle, zigzag, signature")
      ->delimiter(',')
      ->capture_default_str();
  sy->add_option("--seed", synth.seed, "seed of the users")->capture_default_str();
  sy->add_flag("--gravity", synth.gravity,
               "leave gravity in the primary vector, as an accelerometer held level reads it");
  commands.emplace_back(sy, [&] { return runSynth(synth); });

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? 0 : kUsageError;
  }
  routeLibraryLines(trace);
  for (const auto& [command, run] : commands) {
    if (!command->parsed()) continue;
    try {
      return run();
    } catch (const std::exception& error) {
      std::fprintf(stderr, "gestal %s: %s\n", command->get_name().c_str(), error.what());
      return 1;
    }
  }
  return kUsageError;
}
