// Fuzz target: a whole run, from the parameter file to the trained network.
//
// An input packs the files of one run (fuzz/pack_run.sh makes them from the
// seed folders): the parameter file first, then each further file after a
// marker line "%%% <file name>". The target writes the files into an empty
// scratch folder and runs the run sequence there with a fixed clock. Sizes
// are capped so that every input runs in milliseconds: at most 8
// individuals, 4 generations and a network of 400 weights; inputs naming
// files outside the folder are skipped, and the trained network always goes
// to out.wgt.
//
// Every run ends with status 0 and a destination file that reads back as a
// network, or with status 1 and the destination untouched.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "FileHandler/FileTools.h"
#include "FuzzSupport.h"
#include "MLP/Quill/ParameterFile.h"
#include "MLP/Quill/RunSequence.h"
#include "NeuralNets/TBasicConnections.h"
#include "NeuralNets/TBasicNetwork.h"
#include "common/Clock.h"

namespace {

namespace fs = std::filesystem;

constexpr std::int32_t kMaxPopulation = 8;
constexpr std::int32_t kMaxGenerations = 4;
constexpr int kMaxWeights = 400;
constexpr int kMaxNeurons = 100;
constexpr const char* kDestination = "out.wgt";

struct Section {
  std::string name;
  std::string text;
};

// File names a section may carry: plain names inside the scratch folder.
bool IsPlainName(const std::string& name) {
  if (name.empty() || name.size() > 40 || name == "." || name == "..") return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
  });
}

// The parameter file, then one section per marker line "%%% name" (the line
// end before a marker belongs to the marker).
std::vector<Section> Split(const std::string& input) {
  static const std::string kMarker = "%%% ";
  std::vector<Section> sections{{"params.txt", ""}};
  std::size_t begin = 0;
  std::size_t search = 0;
  for (;;) {
    std::size_t m = input.find(kMarker, search);
    while (m != std::string::npos && m != 0 && input[m - 1] != '\n')
      m = input.find(kMarker, m + 1);
    const std::size_t end = m == std::string::npos ? input.size() : (m > begin ? m - 1 : m);
    sections.back().text = input.substr(begin, end - begin);
    if (m == std::string::npos) break;
    const std::size_t eol = std::min(input.find('\n', m), input.size());
    sections.push_back({input.substr(m + kMarker.size(), eol - m - kMarker.size()), ""});
    begin = search = std::min(eol + 1, input.size());
  }
  return sections;
}

std::string Slurp(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A network small enough to train within milliseconds, or one the run will
// refuse by itself.
bool SmallEnough(const std::string& weight_file) {
  FileTools ft;
  std::unique_ptr<TBasicNetwork> network;
  try {
    network = ft.LoadNetwork(weight_file);
  } catch (const FileTools::Error&) {
    return true;
  }
  return network->GetNumNeurons() <= kMaxNeurons &&
         network->GetNumWeights(FMaskExists) <= kMaxWeights;
}

const fs::path& Folder() {
  static const fs::path folder = [] {
    fs::path dir = quillfuzz::ScratchPath("run");
    fs::create_directories(dir);
    return dir;
  }();
  return folder;
}

// The path of the file `name` in the scratch folder.
std::string In(const std::string& name) {
  return (Folder() / name).string();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<Section> sections =
      Split(std::string(reinterpret_cast<const char*>(data), size));
  for (const auto& entry : fs::directory_iterator(Folder()))
    fs::remove_all(entry.path());
  std::string destination_before;
  bool had_destination = false;
  for (const Section& s : sections) {
    if (!IsPlainName(s.name)) continue;
    quillfuzz::WriteFile(In(s.name), s.text);
    if (s.name == kDestination) {
      had_destination = true;
      destination_before = s.text;
    }
  }
  // Whether a file of that name (plain, or a path in the folder) was there
  // before the run.
  std::vector<std::string> before;
  for (const auto& entry : fs::directory_iterator(Folder()))
    before.push_back(entry.path().filename().string());
  auto had_file = [&](const std::string& name) {
    const std::string plain = fs::path(name).filename().string();
    return std::find(before.begin(), before.end(), plain) != before.end();
  };

  QuillParameters p;
  std::istringstream params(sections.front().text);
  if (ReadQuillParameters(params, p) || ValidateQuillParameters(p)) return 0;
  // Names are taken inside the folder, as a run started there would.
  if (p.WeightFile.find('/') != std::string::npos) return 0;
  p.WeightFile = In(p.WeightFile);
  for (std::string& name : p.DataFiles) {
    if (name.find('/') != std::string::npos) return 0;
    name = In(name);
  }
  for (std::string* name : {&p.RunLog, &p.Checkpoint, &p.Resume}) {
    if (name->empty()) continue;
    if (name->find('/') != std::string::npos) return 0;
    *name = In(*name);
  }
  p.DestinationFile = In(kDestination);
  p.PopulationSize = std::min(p.PopulationSize, kMaxPopulation);
  p.Generations = std::min(p.Generations, kMaxGenerations);
  if (!SmallEnough(p.WeightFile)) return 0;

  // A temporary file of a checkpoint or destination write ("<name>.tmp",
  // ".tmp1", ...): a run removes those an earlier run left (but inputs of
  // such a name), and leaves none. The lock files of the outputs
  // ("<name>.lock") are the run's own while it runs and go with it.
  std::vector<std::string> temps = {std::string(kDestination) + ".tmp"};
  if (!p.Checkpoint.empty()) temps.push_back(fs::path(p.Checkpoint).filename().string() + ".tmp");
  auto checkpoint_leftover = [&](const std::string& name) {
    for (const std::string& temp : temps) {
      if (name.rfind(temp, 0) == 0 &&
          name.find_first_not_of("0123456789", temp.size()) == std::string::npos)
        return true;
    }
    for (const std::string* output : {&p.DestinationFile, &p.RunLog, &p.Checkpoint}) {
      if (!output->empty() && name == fs::path(*output).filename().string() + ".lock") return true;
    }
    return false;
  };
  // The files in the folder, but leftovers.
  auto counted = [&] {
    long n = 0;
    for (const auto& entry : fs::directory_iterator(Folder())) {
      const std::string name = entry.path().filename().string();
      if (!checkpoint_leftover(name)) ++n;
    }
    return n;
  };
  const long files_before = counted();

  int status = 0;
  {
    quill::ScopedClock clock(12345);
    status = RunQuill(p);
  }
  FUZZ_CHECK(status == 0 || status == 1);
  // Nothing is left behind but the destination, the run log and the
  // checkpoint (no temporary file: a run with a checkpoint also removes the
  // temporary files of an earlier one, so those are not counted), and a
  // refused run writes nothing.
  const long files_after = counted();
  for (const auto& entry : fs::directory_iterator(Folder())) {
    const std::string name = entry.path().filename().string();
    FUZZ_CHECK(!checkpoint_leftover(name) || had_file(name));
  }
  const int written =
      (status == 0 && !had_destination ? 1 : 0) +
      (status == 0 && !p.RunLog.empty() && !had_file(p.RunLog) ? 1 : 0) +
      (status == 0 && !p.Checkpoint.empty() && !had_file(p.Checkpoint) && fs::exists(p.Checkpoint)
           ? 1
           : 0);
  FUZZ_CHECK(files_after == files_before + written);
  if (status == 1) {
    if (had_destination) {
      FUZZ_CHECK(Slurp(In(kDestination)) == destination_before);
    } else {
      FUZZ_CHECK(!fs::exists(In(kDestination)));
    }
    return 0;
  }
  FileTools ft;
  try {
    FUZZ_CHECK(ft.LoadNetwork(In(kDestination)) != nullptr);
  } catch (const FileTools::Error& e) {
    quillfuzz::Violation(("trained network reads back: " + e.message).c_str(), __FILE__, __LINE__);
  }
  return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quillfuzz::SilenceStreams();
  return 0;
}
