// The compiled part of the Python module: quill._quill. The package quill
// (python/quill) wraps it; users import that.
#include <pybind11/functional.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <signal.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <exception>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "ArrayData.h"
#include "DataObject/Data.h"
#include "FileHandler/FileTools.h"
#include "InMemoryTraining.h"
#include "MLP/Quill/ParameterCheck.h"
#include "MLP/Quill/ParameterFile.h"
#include "MLP/Quill/ParameterKeys.h"
#include "MLP/Quill/Quill.h"
#include "NeuralNets/TBasicLayer.h"
#include "NeuralNets/TMLPNetwork.h"
#include "NeuralNets/TRecallPlan.h"
#include "Tools/Common/ToolSupport.h"
#include "Tools/QuillNet/NetBuilder.h"
#include "common/Version.h"
#include "errors/TException.h"

namespace py = pybind11;

namespace quill::python {

namespace {

// A file that cannot be opened: FileNotFoundError.
class FileMissing : public std::runtime_error {
 public:
  FileMissing(const std::string& message, std::string path)
      : std::runtime_error(message), path(std::move(path)) {}
  std::string path;
};

// A file that cannot be written: OSError.
class WriteFailed : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Makes the C++ runtime allocate this thread's exception state now. In a
// module loaded into the interpreter that state is made at the thread's first
// exception, and a run that exhausts memory would otherwise fail to make it
// for its std::bad_alloc and abort the interpreter instead of raising
// MemoryError.
void ReserveExceptionState() {
  // Kept: the function is declared pure, and an unused result would drop it.
  volatile int count = std::uncaught_exceptions();
  static_cast<void>(count);
}

// --- Networks ------------------------------------------------------------

class Network {
 public:
  explicit Network(std::unique_ptr<TMLPNetwork> net) : net_(std::move(net)) {}

  TMLPNetwork& Net() const { return *net_; }

  static Network Load(const std::string& path) {
    FileTools files;
    std::unique_ptr<TBasicNetwork> loaded;
    try {
      loaded = files.LoadNetwork(path);
    } catch (const FileTools::Error& e) {
      if (e.message == "Error on File Open") throw FileMissing(e.message, path);
      throw InputError(e.message + " (network file " + path + ")");
    }
    if (dynamic_cast<TMLPNetwork*>(loaded.get()) == nullptr)
      throw InputError("Network is not an MLP in weight file " + path);
    return Network(std::unique_ptr<TMLPNetwork>(static_cast<TMLPNetwork*>(loaded.release())));
  }

  void Save(const std::string& path) const {
    FileTools files;
    try {
      files.SaveNetwork(path, *net_);
    } catch (const FileTools::Error& e) {
      throw WriteFailed(e.message);
    }
  }

  std::string Text() const {
    std::ostringstream out;
    FileTools files;
    files.WriteNetwork(out, *net_);
    return out.str();
  }

  static Network FromText(const std::string& text) {
    std::istringstream in(text);
    FileTools files;
    std::unique_ptr<TBasicNetwork> read;
    try {
      read = files.ReadNetwork(in);
    } catch (const FileTools::Error& e) {
      throw InputError(e.message);
    }
    if (dynamic_cast<TMLPNetwork*>(read.get()) == nullptr)
      throw InputError("Network is not an MLP");
    return Network(std::unique_ptr<TMLPNetwork>(static_cast<TMLPNetwork*>(read.release())));
  }

  static Network Mlp(const std::vector<long long>& sizes, const std::string& hidden,
                     const std::string& output, bool bias, const std::string& init, double low,
                     double high, double gain, bool pruneable, std::uint32_t seed) {
    tools::NetDesign design;
    if (sizes.size() < 2)
      throw InputError("give at least an input and an output layer, such as [4, 3]");
    for (long long size : sizes) {
      if (size < 1 || size > FileTools::kMaxNeurons)
        throw InputError("layer sizes must be positive integers of at most " +
                         std::to_string(FileTools::kMaxNeurons) + ", such as [4, 5, 3]");
      design.sizes.push_back(static_cast<int>(size));
    }
    design.hidden = hidden;
    design.output = output;
    design.bias = bias;
    if (init == "uniform") {
      design.init = tools::WeightInit::kUniform;
    } else if (init == "xavier") {
      design.init = tools::WeightInit::kXavier;
    } else if (init == "he") {
      design.init = tools::WeightInit::kHe;
    } else {
      throw InputError("unknown weight initialisation '" + init + "' (one of uniform, xavier, he)");
    }
    // Checked here in the words of the Python arguments.
    if (design.init == tools::WeightInit::kUniform &&
        !(low <= high && std::isfinite(low) && std::isfinite(high)))
      throw InputError("the weight range needs finite bounds with low not above high");
    design.low = low;
    design.high = high;
    design.gain = gain;
    design.pruneable = pruneable;
    design.seed = seed;
    std::unique_ptr<TMLPNetwork> net;
    {
      // The weights are drawn from the program-wide generator.
      GeneratorLock::CheckNotHeld();
      py::gil_scoped_release release;
      GeneratorLock lock;
      net = tools::BuildNetwork(design);
    }
    return Network(std::move(net));
  }

  py::array_t<double> Weights() const {
    const int n = net_->GetNumWeights(0);
    py::array_t<double> weights(n > 0 ? n : 0);
    if (n > 0) net_->GetWeights(weights.mutable_data(), 0);
    return weights;
  }

  void SetWeights(const Array& weights) {
    const int n = net_->GetNumWeights(0);
    if (weights.ndim() != 1 || weights.shape(0) != n)
      throw InputError("weights must be a one-dimensional array of the network's " +
                       std::to_string(n) + " trainable weights");
    for (py::ssize_t i = 0; i < weights.shape(0); ++i) {
      if (!std::isfinite(weights.data()[i]))
        throw InputError("weight " + std::to_string(i) + " is NaN or infinite");
    }
    if (n > 0) net_->SetWeights(weights.data(), 0);
  }

  std::vector<int> LayerSizes() const {
    std::vector<int> sizes;
    for (int i = net_->inLayer; i <= net_->outLayer; ++i)
      sizes.push_back(net_->GetLayer(i)->numNeurons);
    return sizes;
  }

  // The outputs for every row of `x`, recalled as the trainer recalls: the
  // compiled plan, or the object network where the plan does not apply.
  py::array_t<double> Predict(const Array& x) const {
    ReserveExceptionState();
    const int inputs = Inputs(*net_);
    const int outputs = Outputs(*net_);
    std::unique_ptr<Data> data = MakeData(x, nullptr, inputs, outputs, "X", "Y");
    const int rows = data->NumRows();
    py::array_t<double> result({rows, outputs});
    double* out = result.mutable_data();
    Data* sets[] = {data.get()};
    std::unique_ptr<TRecallPlan> plan = TRecallPlan::Compile(*net_, 1, sets, simd::BestKernels());
    if (plan != nullptr) {
      std::unique_ptr<TRecallPlan::Workspace> ws = plan->NewWorkspace();
      const std::vector<double> values = plan->RecallAll(*ws);
      std::copy(values.begin(), values.end(), out);
    } else {
      std::unique_ptr<Data> recalled;
      net_->RecallOutputOnly(data.get(), recalled);
      for (int r = 0; r < rows; ++r)
        recalled->GetOutputRow(r, out + static_cast<std::ptrdiff_t>(r) * outputs);
    }
    return result;
  }

 private:
  std::unique_ptr<TMLPNetwork> net_;
};

// --- Training ------------------------------------------------------------

volatile int g_interrupted = 0;

extern "C" void OnInterrupt(int) {
  g_interrupted = 1;
}

// While it lives, SIGINT only sets g_interrupted (unless it was ignored);
// the previous handler (Python's) comes back when it goes.
class InterruptCatch {
 public:
  explicit InterruptCatch(bool active) {
    g_interrupted = 0;
    if (!active) return;
    struct sigaction current {};
    if (sigaction(SIGINT, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) return;
    struct sigaction catcher {};
    catcher.sa_handler = OnInterrupt;
    sigemptyset(&catcher.sa_mask);
    catcher.sa_flags = SA_RESTART;
    installed_ = sigaction(SIGINT, &catcher, &previous_) == 0;
  }
  ~InterruptCatch() {
    if (installed_) sigaction(SIGINT, &previous_, nullptr);
  }
  InterruptCatch(const InterruptCatch&) = delete;
  InterruptCatch& operator=(const InterruptCatch&) = delete;

 private:
  struct sigaction previous_ {};
  bool installed_ = false;
};

// Reads `text` (the settings as parameter-file entries) with the program's
// reader and checks it as the program does, for `classes` data sets.
QuillParameters ReadSettings(const std::string& text, int classes) {
  QuillParameters params;
  std::istringstream in(text);
  if (auto error = ReadQuillParameters(in, params)) throw InputError(*error);
  params.WeightFile = "network";
  params.DataClasses = classes;
  params.DataFiles.assign(static_cast<std::size_t>(classes), "data");
  if (auto error = ValidateQuillParameters(params)) throw InputError(*error);
  return params;
}

template <class T>
py::array_t<T> Column(const std::vector<GenerationRecord>& history, T GenerationRecord::*field,
                      T first) {
  py::array_t<T> column(static_cast<py::ssize_t>(history.size() + 1));
  T* out = column.mutable_data();
  out[0] = first;
  for (std::size_t i = 0; i < history.size(); ++i)
    out[i + 1] = history[i].*field;
  return column;
}

py::dict Train(const Network& start, const std::string& settings, const std::vector<Array>& xs,
               const std::vector<Array>& ys, const std::vector<Array>& valid_xs,
               const std::vector<Array>& valid_ys, std::int32_t patience, bool verbose,
               const py::object& callback, bool catch_interrupt) {
  ReserveExceptionState();
  if (xs.empty() || xs.size() != ys.size())
    throw InputError("give one Y for each X, at least one of each");
  if (valid_xs.size() != valid_ys.size())
    throw InputError("give one validation Y for each validation X");
  if (patience < 0) throw InputError("patience must be 0 or more");
  TrainRequest request;
  request.params = ReadSettings(settings, static_cast<int>(xs.size()));
  const int inputs = request.params.FeaturesGiven ? -1 : Inputs(start.Net());
  const int outputs = Outputs(start.Net());
  auto name = [&](const char* what, std::size_t i, std::size_t count) {
    return std::string(what) + (count > 1 ? "[" + std::to_string(i) + "]" : "");
  };
  for (std::size_t i = 0; i < xs.size(); ++i)
    request.data.push_back(
        MakeData(xs[i], &ys[i], inputs, outputs, name("X", i, xs.size()), name("Y", i, xs.size())));
  for (std::size_t i = 0; i < valid_xs.size(); ++i)
    request.validation.push_back(MakeData(valid_xs[i], &valid_ys[i], inputs, outputs,
                                          name("validation X", i, valid_xs.size()),
                                          name("validation Y", i, valid_xs.size())));
  if (request.params.FeaturesGiven && request.params.NumFeatures != Inputs(start.Net()))
    throw InputError(
        "Data does not fit the network: " + std::to_string(request.params.NumFeatures) +
        " features for a network of " + std::to_string(Inputs(start.Net())) + " inputs");
  request.patience = patience;
  request.verbose = verbose;
  request.interrupted = &g_interrupted;
  std::exception_ptr callback_error;
  if (!callback.is_none()) {
    request.observer = [&](const GenerationRecord& r) {
      py::gil_scoped_acquire gil;
      try {
        py::dict info;
        info["generation"] = r.generation;
        info["error"] = r.lowest_error;
        info["best_fitness"] = r.best_fitness;
        info["mean_fitness"] = r.mean_fitness;
        info["worst_fitness"] = r.worst_fitness;
        info["seconds"] = r.seconds;
        info["validation_error"] = r.validation_error;
        return py::bool_(callback(info)).cast<bool>();
      } catch (...) {
        callback_error = std::current_exception();
        return true;
      }
    };
  }

  TrainOutcome outcome;
  {
    GeneratorLock::CheckNotHeld();
    py::gil_scoped_release release;
    GeneratorLock lock;
    InterruptCatch interrupt(catch_interrupt);
    outcome = TrainInMemory(start.Net(), request);
  }
  if (callback_error) std::rethrow_exception(callback_error);

  py::dict history;
  const auto& h = outcome.history;
  const double nan = std::nan("");
  history["generation"] = Column<std::int32_t>(h, &GenerationRecord::generation, 0);
  history["error"] = Column<double>(h, &GenerationRecord::lowest_error, outcome.starting_error);
  history["best_fitness"] = Column<float>(h, &GenerationRecord::best_fitness, nan);
  history["mean_fitness"] = Column<float>(h, &GenerationRecord::mean_fitness, nan);
  history["worst_fitness"] = Column<float>(h, &GenerationRecord::worst_fitness, nan);
  history["seconds"] = Column<double>(h, &GenerationRecord::seconds, 0.0);
  history["validation_error"] =
      Column<double>(h, &GenerationRecord::validation_error, outcome.starting_validation_error);
  py::dict result;
  result["network"] = Network(std::move(outcome.network));
  result["history"] = history;
  result["stopped"] = outcome.stopped;
  result["best_generation"] = outcome.best_generation;
  return result;
}

// Runs the program on a parameter file (`Quill FILE`, or `Quill --check
// FILE`); returns its exit status.
int RunProgram(const std::string& path, bool check) {
  py::module_::import("sys").attr("stdout").attr("flush")();
  py::module_::import("sys").attr("stderr").attr("flush")();
  ReserveExceptionState();
  GeneratorLock::CheckNotHeld();
  py::gil_scoped_release release;
  GeneratorLock lock;
  std::string program = "Quill";
  std::string option = "--check";
  std::string file = path;
  std::vector<char*> argv = {program.data()};
  if (check) argv.push_back(option.data());
  argv.push_back(file.data());
  argv.push_back(nullptr);
  const int status = QuillMain(static_cast<int>(argv.size()) - 1, argv.data());
  std::fflush(stdout);
  return status;
}

py::list Keys() {
  py::list keys;
  static const char* const kinds[] = {"path",   "paths", "integer", "real",
                                      "double", "word",  "integers"};
  for (const ParameterKey& key : ParameterKeys()) {
    py::dict row;
    row["name"] = key.name;
    row["kind"] = kinds[static_cast<int>(key.kind)];
    row["value"] = key.value;
    row["default"] = key.fallback;
    row["lowest"] = key.lowest ? py::object(py::float_(*key.lowest)) : py::none();
    row["highest"] = key.highest ? py::object(py::float_(*key.highest)) : py::none();
    row["description"] = key.description;
    keys.append(row);
  }
  return keys;
}

}  // namespace

}  // namespace quill::python

PYBIND11_MODULE(_quill, m) {
  using namespace quill::python;
  m.doc() = "The compiled part of the quill package; import quill instead.";
  ReserveExceptionState();
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const InputError& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const FileMissing& e) {
      py::object error =
          py::module_::import("builtins").attr("FileNotFoundError")(ENOENT, e.what(), e.path);
      PyErr_SetObject(PyExc_FileNotFoundError, error.ptr());
    } catch (const WriteFailed& e) {
      PyErr_SetString(PyExc_OSError, e.what());
    } catch (const quill::tools::UsageError& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const FileTools::Error& e) {
      PyErr_SetString(PyExc_ValueError, e.message.c_str());
    } catch (const TException& e) {
      std::string text = e.message;
      if (e.category) text += " (" + *e.category + (e.location ? ", " + *e.location : "") + ")";
      PyErr_SetString(PyExc_RuntimeError, text.c_str());
    } catch (const std::bad_alloc&) {
      PyErr_SetString(PyExc_MemoryError, "Not enough memory for this run");
    }
  });

  py::class_<Network>(m, "Network")
      .def_static("load", &Network::Load, py::arg("path"))
      .def("save", &Network::Save, py::arg("path"))
      .def_static("mlp", &Network::Mlp, py::arg("sizes"), py::arg("hidden"), py::arg("output"),
                  py::arg("bias"), py::arg("init"), py::arg("low"), py::arg("high"),
                  py::arg("gain"), py::arg("pruneable"), py::arg("seed"))
      .def_static("from_text", &Network::FromText, py::arg("text"))
      .def("to_text", &Network::Text)
      .def_property("weights", &Network::Weights, &Network::SetWeights)
      .def_property_readonly("layer_sizes", &Network::LayerSizes)
      .def("predict", &Network::Predict, py::arg("X"))
      .def("copy",
           [](const Network& n) { return Network(std::make_unique<TMLPNetwork>(n.Net())); });
  m.def("train", &Train, py::arg("network"), py::arg("settings"), py::arg("xs"), py::arg("ys"),
        py::arg("validation_xs"), py::arg("validation_ys"), py::arg("patience"), py::arg("verbose"),
        py::arg("callback"), py::arg("catch_interrupt"));
  m.def("run_program", &RunProgram, py::arg("path"), py::arg("check"));
  m.def("keys", &Keys);
  m.def("version", [] { return std::string(quill::Version()); });
}
