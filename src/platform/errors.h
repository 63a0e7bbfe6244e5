// Error types of the core. Every window procedure, callback and the exported
// entry catch std::exception at the boundary and report its what() text.
#pragma once

#include <stdexcept>
#include <string>

namespace risview {

// A text that had to be a number and is not (the platform's "is not a valid integer value").
class ConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A database error: the text carries the driver's diagnostics.
class DatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A picture that cannot be loaded: missing, unreadable, corrupt or of an unknown type.
class PictureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace risview
