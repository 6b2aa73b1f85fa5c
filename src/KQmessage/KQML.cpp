#include "KQmessage/KQML.h"

#include "common/Assert.h"

namespace {
constexpr const char* kSourceUnit = "KQmessage/KQML";
constexpr int kInitialSlots = 16;
}  // namespace

TKQstructure::Error::Error(const TKQstructure& r) : report_ptr(std::make_unique<TKQstructure>(r)) {}
TKQstructure::Error::Error(const Error& other)
    : report_ptr(std::make_unique<TKQstructure>(*other.report_ptr)) {}
TKQstructure::Error& TKQstructure::Error::operator=(const Error& other) {
  if (this != &other) report_ptr = std::make_unique<TKQstructure>(*other.report_ptr);
  return *this;
}
TKQstructure::Error::~Error() = default;

TKQstructure::TKQstructure() : TKQstructure(std::string("unknown")) {}

TKQstructure::TKQstructure(const std::string& h)
    : head(h), entries(kInitialSlots), capacity(kInitialSlots), count(0) {}

TKQstructure::TKQstructure(const TKQstructure& other)
    : head(other.head), capacity(other.count), count(other.count) {
  entries.resize(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const Entry& e = other.entries[static_cast<std::size_t>(i)];
    entries[static_cast<std::size_t>(i)].name = e.name;
    entries[static_cast<std::size_t>(i)].value = std::make_unique<TKQstructure>(*e.value);
  }
}

TKQstructure& TKQstructure::operator=(const TKQstructure& other) {
  if (this != &other) {
    TKQstructure copy(other);
    head = std::move(copy.head);
    entries = std::move(copy.entries);
    capacity = copy.capacity;
    count = copy.count;
  }
  return *this;
}

TKQstructure::~TKQstructure() = default;
