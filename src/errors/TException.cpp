#include "errors/TException.h"

#include "KQmessage/KQML.h"

TException::TException() = default;

TException::TException(const std::string& msg, const char* cat) : message(msg) {
  if (cat != nullptr) category = cat;
}

TException::TException(const std::string& msg, const char* cat, const char* loc,
                       std::unique_ptr<TKQstructure> det)
    : message(msg), detail(std::move(det)) {
  if (cat != nullptr) category = cat;
  if (loc != nullptr) location = loc;
}

TException::TException(const TException& other)
    : std::exception(other),
      message(other.message),
      category(other.category),
      detail(other.detail ? std::make_unique<TKQstructure>(*other.detail) : nullptr),
      location(other.location) {}

TException& TException::operator=(const TException& other) {
  if (this != &other) {
    message = other.message;
    category = other.category;
    detail = other.detail ? std::make_unique<TKQstructure>(*other.detail) : nullptr;
    location = other.location;
  }
  return *this;
}

TException::~TException() = default;
