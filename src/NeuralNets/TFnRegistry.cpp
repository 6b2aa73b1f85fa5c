#include "NeuralNets/TFnRegistry.h"

#include "common/Assert.h"
#include "common/StrCase.h"

namespace {
constexpr const char* kSourceUnit = "NeuralNets/ActFunctions";
constexpr int kInitialCapacity = 16;
}  // namespace

TFnRegistry::TFnRegistry() : capacity(kInitialCapacity), count(0) {
  entries.reserve(kInitialCapacity);
}

TFnRegistry::~TFnRegistry() = default;

void TFnRegistry::RegisterDefaults() {
  Register(&ActError, "error");
  Register(&ActNull, "null");
  Register(&ActBias, "bias");
  Register(&ActLinear, "linear");
  Register(&ActSaturatedLinear, "saturated-linear");
  Register(&ActSigmoid, "sigmoid");
  Register(&ActTanh, "tanh");
  Register(&ActLinearGain, "linear-gain");
  Register(&ActSigmoidGain, "sigmoid-gain");
  Register(&ActTanhGain, "tanh-gain");
}

void TFnRegistry::Register(ActFunction fn, const char* name) {
  const char* p = name;
  for (const Entry& entry : entries) {
    const Entry* pp = &entry;
    QUILL_ASSERT_TEXT(quill::strcasecmp(p, pp->name.c_str()) != 0, "strcasecmp(p,pp->name)!=0");
  }
  if (count == capacity) {
    capacity *= 2;
    entries.reserve(static_cast<std::size_t>(capacity));
  }
  entries.push_back(Entry{std::string(name), fn});
  ++count;
}

ActFunction TFnRegistry::Find(const char* name) const {
  // The most recently registered entry wins.
  for (int i = count - 1; i >= 0; --i) {
    const Entry& entry = entries[static_cast<std::size_t>(i)];
    if (quill::strcasecmp(name, entry.name.c_str()) == 0) return entry.function;
  }
  return nullptr;
}

ActFunction TFnRegistry::Lookup(const char* name) const {
  ActFunction fn = Find(name);
  if (fn == nullptr) {
    QUILL_ASSERT(false);
    return &ActError;
  }
  return fn;
}

const char* TFnRegistry::LookupName(ActFunction fn) const {
  for (int i = count - 1; i >= 0; --i) {
    const Entry& entry = entries[static_cast<std::size_t>(i)];
    if (entry.function == fn) return entry.name.c_str();
  }
  QUILL_ASSERT(false);
  return nullptr;
}
