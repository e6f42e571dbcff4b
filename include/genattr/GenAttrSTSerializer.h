// The plain-text tree listing.
#ifndef GENATTR_GENATTRSTSERIALIZER_H
#define GENATTR_GENATTRSTSERIALIZER_H

#include <ostream>

#include "genattr/GenAttrSerializer.h"

// Writes a rule line of 49 hyphens, then one line per node in depth-first
// order: indentation, "Name: " and the name in a 16-byte column, the value (or
// a container's id), the description, the type and, above 1, the reference
// count. The children of a reference are not listed. Each line ends with a
// line feed and, unless SetFlushEachLine(false) was called, a flush; without
// it, lines may reach the stream in batches, and the stream is flushed once
// when Write() ends. The stream is borrowed and must outlive the writer.
class GENATTR_API GenAttrSTSerializer : public GenAttrSerializer {
public:
  GenAttrSTSerializer(GenAttrBase* root, std::ostream* out);
  GenAttrSTSerializer(const GenAttrSTSerializer&) = default;
  GenAttrSTSerializer& operator=(const GenAttrSTSerializer&) = default;
  ~GenAttrSTSerializer() override;

  int Write() override;

protected:
  // Writes the line of `node` and the lines of its subtree; returns 0.
  int Write(GenAttrBase* node);

  std::ostream* mpOut;
};

#endif // GENATTR_GENATTRSTSERIALIZER_H
