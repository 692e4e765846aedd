// Export and Import: the object string in a Windows-1252 file.
#include <string>

#include "quenlo/error.hpp"
#include "quenlo/files.hpp"
#include "quenlo/tavrix.hpp"
#include "runtime/translate_errors.hpp"
#include "serial/object_string_reader.hpp"
#include "serial/read_back_check.hpp"

namespace quenlo {

// The object string is made before the file is touched, so a container that cannot be written,
// or whose text would not read back equal, leaves the file as it was.
void Tavrix::Export(const std::string& Filename) const {
  WriteTextFile(TranslateErrors([this] { return ObjectStringThatReadsBack(*this); }), Filename);
}

// The file is read whole; a text that does not read leaves the container as it was, and the
// error tells the offset in the file, whose bytes are characters of the text.
void Tavrix::Import(const std::string& Filename) {
  ReadObjectStringInto(*this, ReadTextFile(Filename), OffsetUnit::kFileBytes);
}

}  // namespace quenlo
