#pragma once
// Error types of the model. Every failure the user should see carries its message text.
#include <stdexcept>
#include <string>

namespace orvanel {

// Base of every error the model raises on purpose.
class EOrvanelError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A text that is not a number: "'%s' is not a valid integer value".
class EConvertError : public EOrvanelError {
 public:
  using EOrvanelError::EOrvanelError;
};

// An XML document that cannot be read or written; the message names the file and line.
class EXmlError : public EOrvanelError {
 public:
  using EOrvanelError::EOrvanelError;
};

// A file that cannot be opened, read or written.
class EFileError : public EOrvanelError {
 public:
  using EOrvanelError::EOrvanelError;
};

}  // namespace orvanel
