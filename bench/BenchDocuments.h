// The benchmark tree written once to files, as the typed and the plain XML
// document, for the reading benchmarks. Internal to the benchmarks.
#ifndef GENATTR_BENCH_BENCHDOCUMENTS_H
#define GENATTR_BENCH_BENCHDOCUMENTS_H

#include <filesystem>
#include <string>

#include "bench/BenchTree.h"

namespace bench {

// The path of the benchmark tree's document (typed or plain) in the temporary
// directory, written on the first call and left there.
inline const std::string& DocumentPath(bool typed) {
  static const auto write = [](bool typedDocument) {
    const std::string path =
        (std::filesystem::temp_directory_path() /
         (typedDocument ? "genattr_bench_typed.xml" : "genattr_bench_plain.xml"))
            .string();
    GenAttrBase* tree = BuildGenAttrTree();
    if (typedDocument) {
      GenAttrSerializerFactory::WriteToTypedXmlFile(tree, path.c_str());
    } else {
      GenAttrSerializerFactory::WriteToXmlFile(tree, path.c_str());
    }
    GenAttrBase::Free(tree);
    return path;
  };
  static const std::string typedPath = write(true);
  static const std::string plainPath = write(false);
  return typed ? typedPath : plainPath;
}

} // namespace bench

#endif // GENATTR_BENCH_BENCHDOCUMENTS_H
