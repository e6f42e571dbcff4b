#include "genattr/GenAttrXMLReader.h"

#include <expat.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "genattr/GenAttrBase.h"
#include "genattr/genattr_c_ext.h"
#include "xml/TreeBuilder.h"

namespace {

using genattr::xml::TreeBuilder;

// Input is handed to the parser in pieces of this size: a file never has to
// be in memory whole.
constexpr std::size_t kChunk = 1 << 16;

void Report(GenAttrReadError* error, int status, unsigned long line, unsigned long column,
            const char* message) {
  if (error != nullptr) {
    error->mStatus = status;
    error->mLine = line;
    error->mColumn = column;
    std::snprintf(error->mMessage, sizeof error->mMessage, "%s", message);
  }
}

// One parse: the parser, the tree being built, and the handlers that join them.
class Parse {
public:
  Parse() : mParser(XML_ParserCreate(nullptr)) {
    if (mParser == nullptr) {
      return;
    }
    XML_SetUserData(mParser, this);
    XML_SetElementHandler(mParser, &Parse::OnStart, &Parse::OnEnd);
    XML_SetCharacterDataHandler(mParser, &Parse::OnText);
    XML_SetStartDoctypeDeclHandler(mParser, &Parse::OnDoctype);
    // Nothing from outside the document: no external DTD or parameter
    // entities are ever read.
    XML_SetParamEntityParsing(mParser, XML_PARAM_ENTITY_PARSING_NEVER);
#ifdef GENATTR_XML_AMPLIFICATION_LIMITS
    // The DOCTYPE is refused, so no entity can be declared; the limits stay
    // as a second line should that ever change. The values are expat's
    // defaults, stated so that an older default cannot loosen them.
    XML_SetBillionLaughsAttackProtectionMaximumAmplification(mParser, 100.0f);
    XML_SetBillionLaughsAttackProtectionActivationThreshold(mParser, 8u * 1024u * 1024u);
#endif
  }
  Parse(const Parse&) = delete;
  Parse& operator=(const Parse&) = delete;
  ~Parse() {
    if (mParser != nullptr) {
      XML_ParserFree(mParser);
    }
  }

  bool Ready(GenAttrReadError* error) const {
    if (mParser == nullptr) {
      Report(error, 4, 0, 0, "out of memory: the XML parser cannot be made");
      return false;
    }
    return true;
  }

  // Hands `size` bytes at `data` to the parser; `last` after the final piece.
  // False when the parse stopped. The bytes go in as they are: expat keeps
  // what it still needs, and asking it for a buffer of 0 bytes may fail.
  bool Feed(const char* data, std::size_t size, bool last) {
    return XML_Parse(mParser, data, static_cast<int>(size), last ? XML_TRUE : XML_FALSE) ==
               XML_STATUS_OK &&
           !mBuilder.Failed();
  }
  // The parser's own buffer, to read a file into directly.
  void* Buffer(std::size_t size) {
    return XML_GetBuffer(mParser, static_cast<int>(size));
  }
  bool Parsed(int size, bool last) {
    return XML_ParseBuffer(mParser, size, last ? XML_TRUE : XML_FALSE) == XML_STATUS_OK &&
           !mBuilder.Failed();
  }

  // Ends the parse: the root, or null with the reason in `error`.
  GenAttrBase* Result(GenAttrReadError* error) {
    const unsigned long line = XML_GetCurrentLineNumber(mParser);
    const unsigned long column = XML_GetCurrentColumnNumber(mParser) + 1;
    if (!mBuilder.Failed()) {
      const XML_Error code = XML_GetErrorCode(mParser);
      if (code != XML_ERROR_NONE) {
        const int status = code == XML_ERROR_NO_MEMORY ? 4
#ifdef GENATTR_XML_AMPLIFICATION_LIMITS
                           : code == XML_ERROR_AMPLIFICATION_LIMIT_BREACH ? 4
#endif
                                                                          : 2;
        Report(error, status, line, column, XML_ErrorString(code));
        return nullptr;
      }
    }
    GenAttrBase* root = nullptr;
    try {
      root = mBuilder.Finish();
    } catch (const std::bad_alloc&) {
      mBuilder.Fail(4, "out of memory");
    }
    if (root == nullptr) {
      Report(error, mBuilder.Status(), line, column, mBuilder.Message());
      return nullptr;
    }
    Report(error, 0, line, column, "");
    return root;
  }

  void Fail(int status, const char* message) {
    mBuilder.Fail(status, message);
  }

  void Configure(const GenAttrReadOptions& options) {
    mBuilder.KeepAttributes(options.mKeepAttributes);
  }

private:
  template <class Step> static void Run(void* user, Step step) {
    auto& parse = *static_cast<Parse*>(user);
    try {
      step(parse.mBuilder);
    } catch (const std::bad_alloc&) {
      parse.mBuilder.Fail(4, "out of memory");
    }
    if (parse.mBuilder.Failed()) {
      XML_StopParser(parse.mParser, XML_FALSE);
    }
  }
  static void XMLCALL OnStart(void* user, const XML_Char* name, const XML_Char** attributes) {
    Run(user, [&](TreeBuilder& builder) { builder.Start(name, attributes); });
  }
  static void XMLCALL OnEnd(void* user, const XML_Char*) {
    Run(user, [&](TreeBuilder& builder) { builder.End(); });
  }
  static void XMLCALL OnText(void* user, const XML_Char* text, int length) {
    Run(user, [&](TreeBuilder& builder) { builder.Text(text, static_cast<std::size_t>(length)); });
  }
  static void XMLCALL OnDoctype(void* user, const XML_Char*, const XML_Char*, const XML_Char*,
                                int) {
    // A tree document has no use for one, and a DTD is where entities that
    // multiply or reach outside would be declared.
    Run(user, [&](TreeBuilder& builder) { builder.Fail(3, "a DOCTYPE is not accepted"); });
  }

  XML_Parser mParser;
  TreeBuilder mBuilder;
};

} // namespace

GenAttrBase* GenAttrXMLReader::ReadFile(const char* fileName, const GenAttrReadOptions& options,
                                        GenAttrReadError* error) {
  if (fileName == nullptr) {
    Report(error, 1, 0, 0, "no file name given");
    return nullptr;
  }
  std::FILE* file = std::fopen(fileName, "rb");
  if (file == nullptr) {
    Report(error, 1, 0, 0, "the file cannot be opened");
    return nullptr;
  }
  struct Closer {
    std::FILE* file;
    ~Closer() { std::fclose(file); }
  } closer{file};
  Parse parse;
  parse.Configure(options);
  if (!parse.Ready(error)) {
    return nullptr;
  }
  for (;;) {
    void* buffer = parse.Buffer(kChunk);
    if (buffer == nullptr) {
      parse.Fail(4, "out of memory: no buffer for the input");
      break;
    }
    const std::size_t got = std::fread(buffer, 1, kChunk, file);
    if (std::ferror(file) != 0) {
      // A directory opens on some systems, and fails only here.
      Report(error, 1, 0, 0, "the file cannot be read");
      return nullptr;
    }
    const bool last = got < kChunk && std::feof(file) != 0;
    if (!parse.Parsed(static_cast<int>(got), last) || last) {
      break;
    }
  }
  return parse.Result(error);
}

GenAttrBase* GenAttrXMLReader::ReadBuffer(const char* data, std::size_t size,
                                          const GenAttrReadOptions& options,
                                          GenAttrReadError* error) {
  if (data == nullptr && size != 0) {
    Report(error, 1, 0, 0, "no data given");
    return nullptr;
  }
  Parse parse;
  parse.Configure(options);
  if (!parse.Ready(error)) {
    return nullptr;
  }
  std::size_t offset = 0;
  do {
    const std::size_t piece = size - offset < kChunk ? size - offset : kChunk;
    const bool last = offset + piece == size;
    if (!parse.Feed(data + offset, piece, last)) {
      break;
    }
    offset += piece;
  } while (offset < size);
  return parse.Result(error);
}

GenAttrHandle* genattr_read_xml_file(const char* fileName, int* status) {
  GenAttrReadError error;
  GenAttrBase* root = GenAttrXMLReader::ReadFile(fileName, &error);
  if (status != nullptr) {
    *status = error.mStatus;
  }
  return root;
}

GenAttrBase* GenAttrXMLReader::ReadFile(const char* fileName, GenAttrReadError* error) {
  return ReadFile(fileName, GenAttrReadOptions(), error);
}

GenAttrBase* GenAttrXMLReader::ReadBuffer(const char* data, std::size_t size,
                                          GenAttrReadError* error) {
  return ReadBuffer(data, size, GenAttrReadOptions(), error);
}

GenAttrHandle* genattr_read_xml_file_ex(const char* fileName, unsigned int flags, int* status) {
  GenAttrReadOptions options;
  options.mKeepAttributes = (flags & GENATTR_READ_NO_ATTRIBUTES) == 0;
  GenAttrReadError error;
  GenAttrBase* root = GenAttrXMLReader::ReadFile(fileName, options, &error);
  if (status != nullptr) {
    *status = error.mStatus;
  }
  return root;
}
