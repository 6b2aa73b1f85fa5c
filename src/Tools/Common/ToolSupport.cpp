#include "Tools/Common/ToolSupport.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>
#include <optional>

#include "DataObject/Data.h"
#include "FileHandler/FileTools.h"
#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TMLPNetwork.h"
#include "common/FileIdentity.h"
#include "common/Interrupt.h"
#include "common/NumberText.h"
#include "common/Status.h"
#include "common/Version.h"
#include "errors/TException.h"

namespace quill::tools {

namespace {

// What a signal that comes after the files are in place prints.
std::string g_interrupted_after = "interrupted\n";

bool IsStandardOutput(const std::string& path) {
  return path.empty() || path == "-";
}

// The reason a file cannot be opened for reading, or empty when it can.
std::string OpenProblem(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return "no such file";
  if (std::filesystem::is_directory(path, ec)) return "is a folder";
  std::ifstream probe(path);
  if (!probe) return "cannot be opened";
  return {};
}

// The line (counting from 1) of byte `offset` of the file.
long LineAt(const std::string& path, std::streamoff offset) {
  std::ifstream in(path, std::ios::binary);
  long line = 1;
  char c;
  for (std::streamoff i = 0; i < offset && in.get(c); ++i) {
    if (c == '\n') ++line;
  }
  return line;
}

}  // namespace

int RunTool(const char* program, const std::function<int()>& body) {
  auto fail = [&](const std::string& message, int status) {
    std::cout.flush();
    std::cerr << program << ": " << message << std::endl;
    return status;
  };
  // A signal ends the program at once: its files are written only at the
  // end, whole, so nothing is lost but the temporaries, which go too.
  const std::string interrupted = std::string(program) + ": interrupted; no file written\n";
  g_interrupted_after = std::string(program) + ": interrupted\n";
  quill::AbandonOnSignal on_signal(interrupted.c_str());
  try {
    return body();
  } catch (const UsageError& e) {
    return fail(std::string(e.what()) + "\nRun '" + program + " --help' for usage.", 2);
  } catch (const ToolError& e) {
    return fail(e.what(), 1);
  } catch (const FileTools::Error& e) {
    return fail(e.message, 1);
  } catch (const TException& e) {
    return fail(e.message, 1);
  } catch (const std::bad_alloc&) {
    return fail("not enough memory", 1);
  } catch (const std::exception& e) {
    return fail(e.what(), 1);
  }
}

std::string VersionLine(const char* program) {
  return std::string(program) + " (Quill) " + quill::Version();
}

void OutputFiles::Input(const std::string& path, std::string role) {
  if (!IsStandardOutput(path)) inputs_.emplace_back(path, std::move(role));
}

std::ostream& OutputFiles::Text(const std::string& path, std::string role) {
  Entry entry;
  entry.path = IsStandardOutput(path) ? std::string() : path;
  entry.role = std::move(role);
  entry.text = std::make_unique<std::ostringstream>();
  entries_.push_back(std::move(entry));
  return *entries_.back().text;
}

void OutputFiles::DataSet(const std::string& path, std::shared_ptr<const Data> data,
                          std::string role, std::string names_comment) {
  Entry entry;
  entry.path = path;
  entry.role = std::move(role);
  entry.data = std::move(data);
  entry.names_comment = std::move(names_comment);
  entries_.push_back(std::move(entry));
}

std::vector<std::string> OutputFiles::Paths() const {
  std::vector<std::string> paths;
  for (const Entry& e : entries_)
    paths.push_back(e.path);
  return paths;
}

void OutputFiles::Check() const {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const Entry& e = entries_[i];
    if (e.path.empty()) continue;
    const std::string why = quill::AtomicFile::Unwritable(e.path);
    if (!why.empty()) throw ToolError("cannot write " + e.path + ": " + why);
    for (const auto& [path, role] : inputs_) {
      if (quill::SameFile(e.path, path))
        throw ToolError(e.role + " and " + role + " name the same file " + e.path);
    }
    for (std::size_t j = 0; j < i; ++j) {
      const Entry& other = entries_[j];
      if (!other.path.empty() && quill::SameFile(e.path, other.path))
        throw ToolError(other.role + " and " + e.role + " name the same file " + other.path);
    }
  }
}

void OutputFiles::Commit() {
  Check();
  // Every file is written to its temporary first; only when all of them are
  // complete do they replace their destinations.
  std::vector<std::unique_ptr<quill::AtomicFile>> files;
  for (const Entry& e : entries_) {
    if (e.path.empty()) continue;
    auto file = std::make_unique<quill::AtomicFile>(e.path);
    if (!file->Reserve()) throw ToolError("cannot write " + e.path);
    if (e.data != nullptr) {
      FileTools ft;
      if (ft.WriteDataFile(file->TempPath(), e.data.get(), nullptr) != SUCCESS) {
        throw ToolError("cannot write " + e.path);
      }
      if (!e.names_comment.empty()) {
        // The writer starts the file itself: the comment goes before what it
        // wrote.
        std::ostringstream written;
        {
          std::ifstream in(file->TempPath(), std::ios::binary);
          if (!in.is_open() || !(written << in.rdbuf())) throw ToolError("cannot write " + e.path);
        }
        std::ofstream out(file->TempPath(), std::ios::binary | std::ios::trunc);
        out << e.names_comment << written.str();
        out.close();
        if (!out) throw ToolError("cannot write " + e.path);
      }
    } else {
      std::ofstream out(file->TempPath(), std::ios::binary | std::ios::trunc);
      const std::string text = e.text->str();
      out.write(text.data(), static_cast<std::streamsize>(text.size()));
      out.close();
      if (!out) throw ToolError("cannot write " + e.path);
    }
    files.push_back(std::move(file));
  }
  std::optional<quill::AbandonOnSignal> after_files;
  {
    // Once the first file is in place the rest follow: a signal waits until
    // the whole set is.
    quill::SignalHold hold;
    for (auto& file : files) {
      if (!file->InPlace() && !file->Commit())
        throw ToolError("cannot write " + file->Destination());
    }
    after_files.emplace(g_interrupted_after.c_str());
  }
  // FIFOs and devices last: writing one can wait for its reader.
  for (auto& file : files) {
    if (file->InPlace() && !file->Commit()) throw ToolError("cannot write " + file->Destination());
  }
  for (const Entry& e : entries_) {
    if (!e.path.empty() || e.text == nullptr) continue;
    std::cout << e.text->str();
  }
  std::cout.flush();
  if (!std::cout) throw ToolError("cannot write standard output");
}

std::unique_ptr<TBasicNetwork> ReadNetworkFile(const std::string& path) {
  const std::string problem = OpenProblem(path);
  if (!problem.empty()) throw ToolError(path + ": " + problem);
  std::ifstream in(path, std::ios::binary);
  FileTools ft;
  try {
    return ft.ReadNetwork(in);
  } catch (const FileTools::Error& e) {
    // The stream is still open here: the error names the line it stopped on.
    std::streamoff at = -1;
    if (e.stream == &in) {
      in.clear();
      at = in.tellg();
    }
    if (at < 0) throw ToolError(path + ": " + e.message);
    throw ToolError(path + ":" + std::to_string(LineAt(path, at)) + ": " + e.message);
  } catch (const TException& e) {
    throw ToolError(path + ": " + e.message);
  }
}

std::unique_ptr<TMLPNetwork> ReadMLPFile(const std::string& path) {
  std::unique_ptr<TBasicNetwork> network = ReadNetworkFile(path);
  auto* mlp = dynamic_cast<TMLPNetwork*>(network.get());
  if (mlp == nullptr) {
    throw ToolError(path + ": the network is of type " + network->GetNetworkType() +
                    ", not an MLP");
  }
  network.release();
  return std::unique_ptr<TMLPNetwork>(mlp);
}

void ReadDataSets(const std::string& path, std::unique_ptr<Data>* first,
                  std::unique_ptr<Data>* second) {
  const std::string problem = OpenProblem(path);
  if (!problem.empty()) throw ToolError(path + ": " + problem);
  FileTools ft;
  int code = SUCCESS;
  try {
    code = ft.ReadDataFile(path, first, second);
  } catch (const FileTools::Error& e) {
    throw ToolError(path + ": " + e.message);
  } catch (const TException& e) {
    throw ToolError(path + ": " + e.message);
  }
  if (code == FIL_OPEN_FAILED) throw ToolError(path + ": cannot be opened");
  if (code != SUCCESS) throw ToolError(path + ": the header does not fit a data-set file");
  if (*first == nullptr && *second == nullptr) throw ToolError(path + ": holds no data set");
}

std::unique_ptr<Data> ReadDataSetFile(const std::string& path) {
  std::unique_ptr<Data> first, second;
  ReadDataSets(path, &first, &second);
  if (second != nullptr) {
    throw ToolError(path + ": holds generated outputs or errors besides the data set");
  }
  if (first == nullptr) throw ToolError(path + ": holds no data set");
  return first;
}

std::string FormatNumber(double value, int digits) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*g", digits, value);
  return buffer;
}

std::string ShortestNumber(double value) {
  return ShortestText(value);
}

}  // namespace quill::tools
