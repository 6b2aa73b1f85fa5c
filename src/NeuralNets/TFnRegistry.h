// The registry of activation functions of one network.
//
// Maps names to ActFunction and back. A network creates its registry, calls
// RegisterDefaults (the ten built-in functions, in a fixed order) and destroys
// it with itself. Names are compared case-insensitively (quill::strcasecmp);
// no two entries share a name. The registry keeps its own copy of every name.
// Capacity starts at 16 and doubles whenever it is full.
#pragma once

#include <string>
#include <vector>

#include "NeuralNets/ActFunctions.h"

class TFnRegistry {
 public:
  struct Entry {
    std::string name;
    ActFunction function;
  };

  // An empty registry of capacity 16; the owner calls RegisterDefaults next.
  TFnRegistry();
  virtual ~TFnRegistry();

  TFnRegistry(const TFnRegistry&) = delete;
  TFnRegistry& operator=(const TFnRegistry&) = delete;

  // Registers "error", "null", "bias", "linear", "saturated-linear",
  // "sigmoid", "tanh", "linear-gain", "sigmoid-gain", "tanh-gain", in order.
  virtual void RegisterDefaults();

  // Adds `fn` under a copy of `name`. REQUIRES: no entry of that name
  // (ignoring case); a duplicate is an assertion failure.
  void Register(ActFunction fn, const char* name);

  // The function registered under `name` (ignoring case). REQUIRES: the name
  // is registered (see Find for names that come from outside).
  ActFunction Lookup(const char* name) const;
  // The function registered under `name` (ignoring case), or nullptr; for
  // names read from files, which are rejected with a message when unknown.
  ActFunction Find(const char* name) const;
  // The registry's own copy of the name of `fn`; the caller must not free it.
  // REQUIRES: `fn` is registered.
  const char* LookupName(ActFunction fn) const;

  int Count() const { return count; }
  int Capacity() const { return capacity; }
  // Entry i (0 <= i < Count()), in registration order.
  const Entry& EntryAt(int i) const { return entries[static_cast<std::size_t>(i)]; }

 private:
  std::vector<Entry> entries;  // entries[0 .. count-1] are in use
  int capacity;
  int count;
};
