// Run-time error raised by an operation on the program's objects.
//
// Carries a message ("Invalid Data Row"), an optional category ("Bad
// Parameter"), an optional location written Class::Operation
// ("Data::GetInputDatum") and an optional structured detail. Only the driver
// catches it; it prints message, category and location on three lines.
// Copies duplicate the texts and the detail, so nothing is released twice.
#pragma once

#include <exception>
#include <memory>
#include <optional>
#include <string>

class TKQstructure;

class TException : public std::exception {
 public:
  TException();
  TException(const std::string& message, const char* category);
  // Takes over `detail` (may be null).
  TException(const std::string& message, const char* category, const char* location,
             std::unique_ptr<TKQstructure> detail);
  TException(const TException& other);
  TException& operator=(const TException& other);
  ~TException() override;

  const char* what() const noexcept override { return message.c_str(); }

  std::string message;
  std::optional<std::string> category;
  std::unique_ptr<TKQstructure> detail;
  std::optional<std::string> location;
};
