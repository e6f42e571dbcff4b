#include "genattr/GenAttrXMLReader.h"

#include <expat.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "genattr/GenAttrBase.h"
#include "genattr/genattr_c_ext.h"
#include "xml/Entities.h"
#include "xml/Transcode.h"
#include "xml/TreeBuilder.h"

namespace {

using genattr::xml::EntityTable;
using genattr::xml::TreeBuilder;
using genattr::xml::Utf8Converter;

// Input is handed to the parser in pieces of this size: a file never has to
// be in memory whole, nor a document in another encoding in UTF-8 whole.
constexpr std::size_t kChunk = 1 << 16;

void Report(GenAttrReadError* error, GenAttrReadStatus status, unsigned long line,
            unsigned long column, const char* message) {
  if (error != nullptr) {
    error->mStatus = status;
    error->mLine = line;
    error->mColumn = column;
    std::snprintf(error->mMessage, sizeof error->mMessage, "%s", message);
  }
}

// `text` cut to what a message has room for, never inside a UTF-8 sequence.
std::string Clip(const std::string& text) {
  constexpr std::size_t room = 200;
  if (text.size() <= room) {
    return text;
  }
  std::size_t end = room;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
    --end;
  }
  return text.substr(0, end) + "...";
}

bool EqualsIgnoringCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    const char x = *a >= 'a' && *a <= 'z' ? static_cast<char>(*a - 'a' + 'A') : *a;
    const char y = *b >= 'a' && *b <= 'z' ? static_cast<char>(*b - 'a' + 'A') : *b;
    if (x != y) {
      return false;
    }
  }
  return *a == *b;
}

// A document in UTF-32, which expat does not read, known by its byte order
// mark or by the "<" every document starts with (XML's autodetection):
// the encoding to convert from, and the bytes of mark to skip.
struct Wide {
  const char* encoding;
  std::size_t mark;
};
Wide DetectUtf32(const char* data, std::size_t size) {
  if (size < 4) {
    return Wide{nullptr, 0};
  }
  const auto* b = reinterpret_cast<const unsigned char*>(data);
  const unsigned long first = static_cast<unsigned long>(b[0]) << 24 |
                              static_cast<unsigned long>(b[1]) << 16 |
                              static_cast<unsigned long>(b[2]) << 8 | b[3];
  switch (first) {
  case 0x0000FEFFul:
    return Wide{"UTF-32BE", 4};
  case 0xFFFE0000ul: // not UTF-16: U+0000 cannot follow its mark
    return Wide{"UTF-32LE", 4};
  case 0x0000003Cul:
    return Wide{"UTF-32BE", 0};
  case 0x3C000000ul:
    return Wide{"UTF-32LE", 0};
  default:
    return Wide{nullptr, 0};
  }
}

// One parse: the parser, the tree being built, the entities declared, and the
// handlers that join them.
class Parse {
public:
  // `encoding` overrides what the document declares: null lets expat detect
  // it, "UTF-8" takes the input of a converter.
  Parse(const char* encoding, const GenAttrReadOptions& options)
      : mParser(XML_ParserCreate(encoding)), mConverted(encoding != nullptr) {
    if (mParser == nullptr) {
      return;
    }
    mBuilder.emplace();
    mBuilder->KeepAttributes(options.mKeepAttributes);
    XML_SetUserData(mParser, this);
    XML_SetElementHandler(mParser, &Parse::OnStart, &Parse::OnEnd);
    XML_SetCharacterDataHandler(mParser, &Parse::OnText);
    XML_SetXmlDeclHandler(mParser, &Parse::OnXmlDecl);
    XML_SetEntityDeclHandler(mParser, &Parse::OnEntityDecl);
    XML_SetSkippedEntityHandler(mParser, &Parse::OnSkippedEntity);
    XML_SetExternalEntityRefHandler(mParser, &Parse::OnExternalEntity);
    XML_SetUnknownEncodingHandler(mParser, &Parse::OnUnknownEncoding, this);
    // Nothing from outside the document: the external subset and external
    // parameter entities are never read, and declarations after a reference
    // to one are ignored, as they may depend on it.
    XML_SetParamEntityParsing(mParser, XML_PARAM_ENTITY_PARSING_NEVER);
#ifdef GENATTR_XML_AMPLIFICATION_LIMITS
    // Internal entities are expanded, so these stop billion laughs and the
    // quadratic blow-up. The values are expat's defaults, stated so that an
    // older default cannot loosen them.
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
      Report(error, GENATTR_READ_LIMIT, 0, 0, "out of memory: the XML parser cannot be made");
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
           !Stopped();
  }
  // The parser's own buffer, to read or convert the input into directly.
  void* Buffer(std::size_t size) {
    return XML_GetBuffer(mParser, static_cast<int>(size));
  }
  bool Parsed(std::size_t size, bool last) {
    return XML_ParseBuffer(mParser, static_cast<int>(size), last ? XML_TRUE : XML_FALSE) ==
               XML_STATUS_OK &&
           !Stopped();
  }

  // The parse stopped at the XML declaration on an encoding expat does not
  // read itself; it must start again on the input converted to UTF-8.
  bool StoppedOnEncoding() const {
    return XML_GetErrorCode(mParser) == XML_ERROR_UNKNOWN_ENCODING && !mEncoding.empty();
  }
  const std::string& Encoding() const {
    return mEncoding;
  }

  // Records a fault found outside the parser's events, where the parser
  // stands.
  void Fail(GenAttrReadStatus status, const char* message) {
    Note(status, message);
  }

  // Ends the parse: the root, or null with the reason in `error`.
  GenAttrBase* Result(GenAttrReadError* error) {
    const unsigned long line = XML_GetCurrentLineNumber(mParser);
    const unsigned long column = XML_GetCurrentColumnNumber(mParser) + 1;
    if (Stopped()) {
      Report(error, mStatus, mLine, mColumn, mMessage.c_str());
      return nullptr;
    }
    const XML_Error code = XML_GetErrorCode(mParser);
    if (code != XML_ERROR_NONE) {
      const GenAttrReadStatus status = code == XML_ERROR_NO_MEMORY ? GENATTR_READ_LIMIT
#ifdef GENATTR_XML_AMPLIFICATION_LIMITS
                                       : code == XML_ERROR_AMPLIFICATION_LIMIT_BREACH
                                           ? GENATTR_READ_LIMIT
#endif
                                           : GENATTR_READ_NOT_WELL_FORMED;
      Report(error, status, line, column, Describe(code).c_str());
      return nullptr;
    }
    if (mStatus != GENATTR_READ_OK) {
      Report(error, mStatus, mLine, mColumn, mMessage.c_str());
      return nullptr;
    }
    GenAttrBase* root = nullptr;
    try {
      root = mBuilder->Finish();
    } catch (const std::bad_alloc&) {
      mBuilder->Fail(GENATTR_READ_LIMIT, "out of memory");
    }
    if (root == nullptr) {
      Report(error, mBuilder->Status(), line, column, mBuilder->Message());
      return nullptr;
    }
    Report(error, GENATTR_READ_OK, line, column, "");
    return root;
  }

private:
  // A fault that ends the parse: not well-formed, or a limit reached.
  bool Stopped() const {
    return mStatus == GENATTR_READ_NOT_WELL_FORMED || mStatus == GENATTR_READ_LIMIT;
  }

  // The first fault is kept, except that one of well-formedness or of
  // resources replaces a typed fault: the document's status says whether it
  // is XML at all before whether it describes a tree.
  void Note(GenAttrReadStatus status, const std::string& message) {
    if (mStatus != GENATTR_READ_OK &&
        !(mStatus == GENATTR_READ_NOT_A_TREE && status != GENATTR_READ_NOT_A_TREE)) {
      return;
    }
    mStatus = status;
    mMessage = message;
    mLine = XML_GetCurrentLineNumber(mParser);
    mColumn = XML_GetCurrentColumnNumber(mParser) + 1;
  }

  // Called from a handler: records the fault and stops the parser unless the
  // rest must still be read.
  void Fault(GenAttrReadStatus status, const std::string& message) {
    Note(status, message);
    if (Stopped()) {
      XML_StopParser(mParser, XML_FALSE);
    }
  }

  // After a typed fault the rest is read only to learn whether it is
  // well-formed: nothing more is built, and what was is released now.
  void DropTree() {
    mBuilder.reset();
    XML_SetElementHandler(mParser, nullptr, nullptr);
    XML_SetCharacterDataHandler(mParser, nullptr);
  }

  std::string Describe(XML_Error code) const {
    if (code == XML_ERROR_UNKNOWN_ENCODING && !mEncoding.empty()) {
      return "unknown encoding: " + Clip(mEncoding);
    }
    if (code == XML_ERROR_UNDEFINED_ENTITY) {
      const std::string name = Undefined();
      if (!name.empty()) {
        return "undefined entity: &" + Clip(name) + ";";
      }
    }
    return XML_ErrorString(code);
  }

  // The entity named by the reference expat could not resolve. expat stops
  // at the reference when it stands in text, at its element's start tag when
  // it stands in an attribute value, and at the outermost reference when it
  // was met in a replacement text; expat's message names none.
  std::string Undefined() const {
    int offset = 0;
    int size = 0;
    const char* context = XML_GetInputContext(mParser, &offset, &size);
    if (context == nullptr || offset < 0 || offset >= size) {
      return std::string();
    }
    const char* at = context + offset;
    const char* end = context + size;
    // The bytes as expat read them: the name goes out in UTF-8.
    const char* from = nullptr;
    if (!mConverted && at[0] == '\0') {
      from = "UTF-16BE";
    } else if (!mConverted && end - at > 1 && at[1] == '\0') {
      from = "UTF-16LE";
    } else if (!mConverted && mLatin1) {
      from = "ISO-8859-1";
    }
    if (from == nullptr) {
      return mEntities.FirstUndeclared(at, end);
    }
    std::string text;
    try {
      Utf8Converter converter(from);
      char out[4096];
      while (converter.Ready() && text.size() < kChunk) {
        char* cursor = out;
        const auto stop = converter.Convert(at, end, cursor, out + sizeof out);
        text.append(out, cursor);
        if (stop != Utf8Converter::Stop::OutputFull) {
          break;
        }
      }
      return mEntities.FirstUndeclared(text.data(), text.data() + text.size());
    } catch (const std::bad_alloc&) {
      return std::string();
    }
  }

  template <class Step> static void Run(void* user, Step step) {
    auto& parse = *static_cast<Parse*>(user);
    if (!parse.mBuilder) {
      return;
    }
    try {
      step(*parse.mBuilder);
    } catch (const std::bad_alloc&) {
      parse.mBuilder->Fail(GENATTR_READ_LIMIT, "out of memory");
    }
    if (parse.mBuilder->Failed()) {
      parse.TakeBuildFault();
    }
  }
  // A fault of the build is the parse's: it stops, or, for a typed fault, the
  // rest is only checked. Kept out of the handlers, which run for every
  // piece of character data and every tag.
  [[gnu::cold, gnu::noinline]] void TakeBuildFault() {
    const GenAttrReadStatus status = mBuilder->Status();
    Fault(status, mBuilder->Message());
    if (status == GENATTR_READ_NOT_A_TREE) {
      DropTree();
    }
  }
  // Character data that the build does not keep (the indentation between
  // the children of a typed container, two pieces after every element) is
  // not handed over at all.
  void FollowText() {
    if (!mBuilder) {
      return;
    }
    const bool wanted = mBuilder->WantsText();
    if (wanted != mTextWanted) {
      mTextWanted = wanted;
      XML_SetCharacterDataHandler(mParser, wanted ? &Parse::OnText : nullptr);
    }
  }
  static void XMLCALL OnStart(void* user, const XML_Char* name, const XML_Char** attributes) {
    Run(user, [&](TreeBuilder& builder) { builder.Start(name, attributes); });
    static_cast<Parse*>(user)->FollowText();
  }
  static void XMLCALL OnEnd(void* user, const XML_Char*) {
    Run(user, [&](TreeBuilder& builder) { builder.End(); });
    static_cast<Parse*>(user)->FollowText();
  }
  static void XMLCALL OnText(void* user, const XML_Char* text, int length) {
    Run(user, [&](TreeBuilder& builder) { builder.Text(text, static_cast<std::size_t>(length)); });
  }
  // A reference that nothing can resolve without reading outside the
  // document stays in the text as it was written.
  static void KeepReference(void* user, const std::string& name) {
    Run(user, [&](TreeBuilder& builder) {
      const std::string reference = "&" + name + ";";
      builder.Text(reference.data(), reference.size());
    });
  }
  static void XMLCALL OnXmlDecl(void* user, const XML_Char*, const XML_Char* encoding, int) {
    auto& parse = *static_cast<Parse*>(user);
    parse.mLatin1 = encoding != nullptr && EqualsIgnoringCase(encoding, "ISO-8859-1");
  }
  static void XMLCALL OnEntityDecl(void* user, const XML_Char* name, int isParameter,
                                   const XML_Char* value, int length, const XML_Char*,
                                   const XML_Char*, const XML_Char*, const XML_Char* notation) {
    if (isParameter != 0) {
      return;
    }
    auto& parse = *static_cast<Parse*>(user);
    // An unparsed entity is never expanded: as an external one, it is known.
    const bool internal = value != nullptr && notation == nullptr;
#ifndef GENATTR_XML_AMPLIFICATION_LIMITS
    if (internal) {
      // Without the limits nothing would stop billion laughs.
      parse.Fault(GENATTR_READ_LIMIT,
                  "internal entities need expat 2.4 or later, with its amplification limits");
      return;
    }
#endif
    try {
      switch (parse.mEntities.Declare(name, internal ? value : nullptr,
                                      internal ? static_cast<std::size_t>(length) : 0)) {
      case EntityTable::Verdict::Accepted:
        break;
      case EntityTable::Verdict::Recursive:
        parse.Fault(GENATTR_READ_NOT_WELL_FORMED, "recursive entity: &" + Clip(name) + ";");
        break;
      case EntityTable::Verdict::TooDeep:
        parse.Fault(GENATTR_READ_LIMIT, "entity expansions nested more than " +
                                            std::to_string(EntityTable::MAX_DEPTH) + " deep: &" +
                                            Clip(name) + ";");
        break;
      }
    } catch (const std::bad_alloc&) {
      parse.Fault(GENATTR_READ_LIMIT, "out of memory");
    }
  }
  static void XMLCALL OnSkippedEntity(void* user, const XML_Char* name, int isParameter) {
    // Undeclared while an external subset or parameter entity that is never
    // read could declare it.
    if (isParameter == 0) {
      KeepReference(user, name);
    }
  }
  static int XMLCALL OnExternalEntity(XML_Parser parser, const XML_Char* context, const XML_Char*,
                                      const XML_Char*, const XML_Char*) {
    // Declared with SYSTEM or PUBLIC: never fetched. With no handler expat
    // would drop the reference.
    void* user = XML_GetUserData(parser);
    auto& parse = *static_cast<Parse*>(user);
    try {
      const std::string name = parse.mEntities.ExternalIn(context);
      if (!name.empty()) {
        KeepReference(user, name);
      }
    } catch (const std::bad_alloc&) {
      parse.Fault(GENATTR_READ_LIMIT, "out of memory");
    }
    return XML_STATUS_OK;
  }
  static int XMLCALL OnUnknownEncoding(void* data, const XML_Char* name, XML_Encoding*) {
    // Only noted: the whole input is read again through a converter, which
    // knows every encoding, stateful and multi-byte ones included.
    auto& parse = *static_cast<Parse*>(data);
    try {
      parse.mEncoding = name;
    } catch (const std::bad_alloc&) {
      parse.mEncoding.clear();
    }
    return XML_STATUS_ERROR;
  }

  XML_Parser mParser;
  bool mConverted; // the input is UTF-8 from a converter
  bool mLatin1 = false;
  std::optional<TreeBuilder> mBuilder;
  bool mTextWanted = true; // the character data handler is set
  EntityTable mEntities;
  std::string mEncoding; // declared, and not one expat reads itself
  GenAttrReadStatus mStatus = GENATTR_READ_OK;
  std::string mMessage;
  unsigned long mLine = 0, mColumn = 0;
};

// The input of a converter, in pieces.
class Source {
public:
  virtual ~Source() = default;
  // Shows the bytes not yet used: at least a piece of them, or all that is
  // left (`last`). False when the input cannot be read.
  virtual bool Next(const char*& begin, const char*& end, bool& last) = 0;
  // The bytes before `upTo` are used.
  virtual void Used(const char* upTo) = 0;
};

class MemorySource : public Source {
public:
  MemorySource(const char* begin, const char* end) : mAt(begin), mEnd(end) {}
  bool Next(const char*& begin, const char*& end, bool& last) override {
    begin = mAt;
    end = static_cast<std::size_t>(mEnd - mAt) > kChunk ? mAt + kChunk : mEnd;
    last = end == mEnd;
    return true;
  }
  void Used(const char* upTo) override { mAt = upTo; }

private:
  const char* mAt;
  const char* mEnd;
};

class FileSource : public Source {
public:
  // Takes over the first piece already read, of which `used` bytes are used.
  FileSource(std::FILE* file, std::vector<char>&& first, std::size_t size, std::size_t used)
      : mFile(file), mBuffer(std::move(first)), mBegin(used), mEnd(size),
        mEof(std::feof(file) != 0) {}
  bool Next(const char*& begin, const char*& end, bool& last) override {
    // The bytes of a character that the last piece cut move to the front.
    if (mBegin > 0) {
      std::memmove(mBuffer.data(), mBuffer.data() + mBegin, mEnd - mBegin);
      mEnd -= mBegin;
      mBegin = 0;
    }
    if (!mEof && mEnd < mBuffer.size()) {
      mEnd += std::fread(mBuffer.data() + mEnd, 1, mBuffer.size() - mEnd, mFile);
      if (std::ferror(mFile) != 0) {
        return false;
      }
      mEof = std::feof(mFile) != 0;
    }
    begin = mBuffer.data();
    end = mBuffer.data() + mEnd;
    last = mEof;
    return true;
  }
  void Used(const char* upTo) override { mBegin = static_cast<std::size_t>(upTo - mBuffer.data()); }

private:
  std::FILE* mFile;
  std::vector<char> mBuffer;
  std::size_t mBegin, mEnd;
  bool mEof;
};

// Reads the document from `source` through `converter` into a parser that
// takes UTF-8, a piece at a time: neither the input nor its UTF-8 is ever
// held whole.
GenAttrBase* ReadConverted(Utf8Converter& converter, const std::string& encoding, Source& source,
                           const GenAttrReadOptions& options, GenAttrReadError* error) {
  Parse parse("UTF-8", options);
  if (!parse.Ready(error)) {
    return nullptr;
  }
  for (;;) {
    const char* in = nullptr;
    const char* end = nullptr;
    bool last = false;
    if (!source.Next(in, end, last)) {
      Report(error, GENATTR_READ_CANNOT_OPEN, 0, 0, "the file cannot be read");
      return nullptr;
    }
    Utf8Converter::Stop stop = Utf8Converter::Stop::OutputFull;
    while (stop == Utf8Converter::Stop::OutputFull) {
      auto* const out = static_cast<char*>(parse.Buffer(kChunk));
      if (out == nullptr) {
        parse.Fail(GENATTR_READ_LIMIT, "out of memory: no buffer for the input");
        return parse.Result(error);
      }
      char* cursor = out;
      stop = converter.Convert(in, end, cursor, out + kChunk);
      // What was converted goes in first, so that a fault in it is found and
      // the parser stands where the bad bytes begin.
      const bool final = last && stop == Utf8Converter::Stop::InputUsed;
      if (!parse.Parsed(static_cast<std::size_t>(cursor - out), final)) {
        return parse.Result(error);
      }
      if (stop == Utf8Converter::Stop::Invalid ||
          (last && stop == Utf8Converter::Stop::Incomplete)) {
        const std::string message =
            (stop == Utf8Converter::Stop::Invalid ? "invalid byte sequence for encoding "
                                                  : "the input ends inside a character of ") +
            Clip(encoding);
        parse.Fail(GENATTR_READ_NOT_WELL_FORMED, message.c_str());
        return parse.Result(error);
      }
      if (final) {
        return parse.Result(error);
      }
    }
    source.Used(in);
  }
}

// How a document whose first parse stopped on its declared encoding is read
// again: the encoding to convert from and the bytes of mark to skip. The
// first bytes decide over the name where they show the width: a document
// whose declaration expat read as UTF-16 is in UTF-16 (UCS-2 and its XML
// names included), and a UTF-8 mark is a mark, not text.
struct Restart {
  std::string encoding;
  std::size_t mark;
};
Restart PlanRestart(const char* data, std::size_t size, const std::string& declared) {
  // The first four bytes as one number, short documents padded with 0xFF.
  unsigned long first = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    first = first << 8 | (i < size ? static_cast<unsigned char>(data[i]) : 0xFFu);
  }
  if (first >> 16 == 0xFFFEul) {
    return Restart{"UTF-16LE", 2};
  }
  if (first >> 16 == 0xFEFFul) {
    return Restart{"UTF-16BE", 2};
  }
  if (first == 0x3C003F00ul) { // "<?" little-endian
    return Restart{"UTF-16LE", 0};
  }
  if (first == 0x003C003Ful) {
    return Restart{"UTF-16BE", 0};
  }
  return Restart{declared, first >> 8 == 0xEFBBBFul ? std::size_t{3} : std::size_t{0}};
}

GenAttrBase* ReadWide(const Wide& wide, Source& source, const GenAttrReadOptions& options,
                      GenAttrReadError* error) {
  Utf8Converter converter(wide.encoding);
  if (!converter.Ready()) {
    Report(error, GENATTR_READ_NOT_WELL_FORMED, 1, 1,
           (std::string("unknown encoding: ") + wide.encoding).c_str());
    return nullptr;
  }
  return ReadConverted(converter, wide.encoding, source, options, error);
}

// How the input of the first parse went in: all of it, or until the parser
// stopped.
enum class Fed {
  Unreadable,   // the input could not be read; the fault is reported
  Restartable,  // the parser saw nothing but what a restart can read again
  PastKeptInput // the parser read beyond the input kept for a restart
};

// The first parse of a document that is not in UTF-32: expat reads the input
// in the encoding it declares, and `feed` hands it over. True when it stopped
// on an encoding expat does not read itself, with `restart` planned from the
// input's first bytes (`head`) and `converter` open for a second parse; false
// when the read is over, with its result in `root` (null: the reason is in
// `error`). The first parse ends, its tree released, before a second begins.
template <class Feed>
bool ParseAsDeclared(const char* head, std::size_t headSize, Feed feed,
                     const GenAttrReadOptions& options, GenAttrReadError* error, GenAttrBase*& root,
                     Restart& restart, std::optional<Utf8Converter>& converter) {
  root = nullptr;
  Parse parse(nullptr, options);
  if (!parse.Ready(error)) {
    return false;
  }
  const Fed fed = feed(parse);
  if (fed == Fed::Unreadable) {
    return false;
  }
  if (!parse.StoppedOnEncoding()) {
    root = parse.Result(error);
    return false;
  }
  if (fed == Fed::PastKeptInput) {
    parse.Fail(GENATTR_READ_LIMIT,
               "an XML declaration naming an encoding must end within the first 64 KiB");
    root = parse.Result(error);
    return false;
  }
  restart = PlanRestart(head, headSize, parse.Encoding());
  converter.emplace(restart.encoding.c_str());
  if (!converter->Ready()) {
    // Reported through the first parse: the encoding is unknown.
    root = parse.Result(error);
    return false;
  }
  return true;
}

// Reads a document whose first `headSize` bytes are at `head`: `feed` hands
// the input to the first parse, `sourceFrom(mark)` makes the input of a
// converter, from the first byte after a mark of `mark` bytes on.
template <class Feed, class SourceFrom>
GenAttrBase* ReadDocument(const char* head, std::size_t headSize, Feed feed, SourceFrom sourceFrom,
                          const GenAttrReadOptions& options, GenAttrReadError* error) {
  const Wide wide = DetectUtf32(head, headSize);
  if (wide.encoding != nullptr) {
    auto source = sourceFrom(wide.mark);
    return ReadWide(wide, source, options, error);
  }
  GenAttrBase* root = nullptr;
  Restart restart{std::string(), 0};
  std::optional<Utf8Converter> converter;
  if (!ParseAsDeclared(head, headSize, feed, options, error, root, restart, converter)) {
    return root;
  }
  auto source = sourceFrom(restart.mark);
  return ReadConverted(*converter, restart.encoding, source, options, error);
}

} // namespace

GenAttrBase* GenAttrXMLReader::ReadFile(const char* fileName, const GenAttrReadOptions& options,
                                        GenAttrReadError* error) {
  if (fileName == nullptr) {
    Report(error, GENATTR_READ_CANNOT_OPEN, 0, 0, "no file name given");
    return nullptr;
  }
  std::FILE* file = std::fopen(fileName, "rb");
  if (file == nullptr) {
    Report(error, GENATTR_READ_CANNOT_OPEN, 0, 0, "the file cannot be opened");
    return nullptr;
  }
  struct Closer {
    std::FILE* file;
    ~Closer() { std::fclose(file); }
  } closer{file};
  // The first piece is kept: a document in an encoding expat does not read
  // is parsed again from it, and the file is never read twice.
  std::vector<char> first;
  try {
    first.resize(kChunk);
  } catch (const std::bad_alloc&) {
    Report(error, GENATTR_READ_LIMIT, 0, 0, "out of memory: no buffer for the input");
    return nullptr;
  }
  const std::size_t got = std::fread(first.data(), 1, kChunk, file);
  if (std::ferror(file) != 0) {
    // A directory opens on some systems, and fails only here.
    Report(error, GENATTR_READ_CANNOT_OPEN, 0, 0, "the file cannot be read");
    return nullptr;
  }
  const auto feed = [&](Parse& parse) {
    bool last = got < kChunk && std::feof(file) != 0;
    bool more = parse.Feed(first.data(), got, last) && !last;
    Fed fed = Fed::Restartable;
    while (more) {
      void* buffer = parse.Buffer(kChunk);
      if (buffer == nullptr) {
        parse.Fail(GENATTR_READ_LIMIT, "out of memory: no buffer for the input");
        break;
      }
      fed = Fed::PastKeptInput;
      const std::size_t read = std::fread(buffer, 1, kChunk, file);
      if (std::ferror(file) != 0) {
        Report(error, GENATTR_READ_CANNOT_OPEN, 0, 0, "the file cannot be read");
        return Fed::Unreadable;
      }
      last = read < kChunk && std::feof(file) != 0;
      more = parse.Parsed(read, last) && !last;
    }
    return fed;
  };
  const auto sourceFrom = [&](std::size_t mark) {
    return FileSource(file, std::move(first), got, mark);
  };
  return ReadDocument(first.data(), got, feed, sourceFrom, options, error);
}

GenAttrBase* GenAttrXMLReader::ReadBuffer(const char* data, std::size_t size,
                                          const GenAttrReadOptions& options,
                                          GenAttrReadError* error) {
  if (data == nullptr && size != 0) {
    Report(error, GENATTR_READ_CANNOT_OPEN, 0, 0, "no data given");
    return nullptr;
  }
  const auto feed = [&](Parse& parse) {
    std::size_t offset = 0;
    do {
      const std::size_t piece = size - offset < kChunk ? size - offset : kChunk;
      const bool last = offset + piece == size;
      if (!parse.Feed(data + offset, piece, last)) {
        break;
      }
      offset += piece;
    } while (offset < size);
    // All of it stays in memory.
    return Fed::Restartable;
  };
  const auto sourceFrom = [&](std::size_t mark) { return MemorySource(data + mark, data + size); };
  return ReadDocument(data, size, feed, sourceFrom, options, error);
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
