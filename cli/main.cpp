// genattr: look into, convert, query, check and compare attribute files.
// The arguments are parsed here; each subcommand runs in Commands.cpp.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/Commands.h"

namespace {

using namespace genattr::cli;

const char* const kExitStatuses = "Exit status: 0 done (found, sound, equal); 1 no such node, no "
                                  "match, not sound or different; 2 trouble (a file cannot be "
                                  "read or written, a wrong argument).";

// What the subcommands share: the status of the one that ran, and the flag
// that each of them takes for the files it reads.
struct Shared {
  int status = kExitOk;
  bool noAttributes = false;

  GenAttrReadOptions Read() const {
    GenAttrReadOptions options;
    options.mKeepAttributes = !noAttributes;
    return options;
  }
};

// Each Add... below declares one subcommand on `app` and runs it from its
// callback. The options live in the callback, which the subcommand owns, so
// they last as long as the parse that fills them.

// A level is plain digits; anything else is refused in words about levels.
CLI::Validator LevelValidator() {
  return CLI::Validator(
      [](std::string& text) {
        return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos
                   ? std::string()
                   : "a level is a whole number from 0 up, not '" + text + "'";
      },
      "N");
}

void AddShow(CLI::App& app, Shared& shared) {
  auto show = std::make_shared<ShowOptions>();
  CLI::App* command = app.add_subcommand("show", "Print the plain-text listing of the tree");
  command->add_option("FILE", show->file, "XML document to show")->required();
  command->add_option("--depth", show->depth, "Leave out the nodes below level N (0: the start)")
      ->type_name("N")
      ->check(LevelValidator());
  command->add_option("--path", show->path, "Start at the node at path P instead of the root")
      ->type_name("P");
  command->callback([command, show, &shared] {
    show->limitDepth = command->count("--depth") > 0;
    show->hasPath = command->count("--path") > 0;
    show->read = shared.Read();
    shared.status = RunShow(*show);
  });
}

void AddConvert(CLI::App& app, Shared& shared) {
  auto convert = std::make_shared<ConvertOptions>();
  CLI::App* command = app.add_subcommand("convert", "Write the tree of IN to OUT");
  command->add_option("IN", convert->in, "XML document to read")->required();
  command->add_option("OUT", convert->out, "File to write, - for standard output")->required();
  command
      ->add_option("--to", convert->to,
                   "Format: text, xml, typed or html (default: from OUT's extension, .txt .xml "
                   ".html)")
      ->type_name("FORMAT")
      ->check(CLI::IsMember({"text", "xml", "typed", "html"}));
  command->add_option("--xsl", convert->xsl, "XSL stylesheet link written into the XML")
      ->type_name("HREF");
  command->add_option("--css", convert->css, "CSS stylesheet named in the XML's root element")
      ->type_name("FILE");
  auto noTimeStamp = std::make_shared<bool>(false);
  command->add_flag("--no-timestamp", *noTimeStamp,
                    "Leave out the time of writing (the XML documents' DateAndTime, the "
                    "page's \"written\"): the same tree gives the same bytes");
  command->callback([convert, noTimeStamp, &shared] {
    convert->timeStamp = !*noTimeStamp;
    convert->read = shared.Read();
    shared.status = RunConvert(*convert);
  });
}

void AddGet(CLI::App& app, Shared& shared) {
  auto file = std::make_shared<std::string>();
  auto path = std::make_shared<std::string>();
  CLI::App* command = app.add_subcommand("get", "Print the value text of the node at PATH");
  command->add_option("FILE", *file, "XML document to read")->required();
  command
      ->add_option("PATH", *path,
                   "Child names joined by /, starting below the root; Name[k] is the k-th child "
                   "of that name")
      ->required();
  command->callback([file, path, &shared] { shared.status = RunGet(*file, *path, shared.Read()); });
}

void AddFind(CLI::App& app, Shared& shared) {
  auto find = std::make_shared<FindOptions>();
  CLI::App* command =
      app.add_subcommand("find", "Print the path of every matching node, one per line, in order");
  command->add_option("FILE", find->file, "XML document to search")->required();
  command->add_option("--name", find->name, "Name equal to N")->type_name("N");
  command->add_option("--value", find->value, "Value text equal to V (numbers as shown: 12.5000)")
      ->type_name("V");
  command
      ->add_option("--type", find->type,
                   "Type T: Base, String, Float, Double, Int, Cont, "
                   "UnicodeString or Ptr")
      ->type_name("T");
  command->callback([command, find, &shared] {
    find->hasName = command->count("--name") > 0;
    find->hasValue = command->count("--value") > 0;
    find->hasType = command->count("--type") > 0;
    find->read = shared.Read();
    shared.status = RunFind(*find);
  });
}

void AddCheck(CLI::App& app, Shared& shared) {
  auto files = std::make_shared<std::vector<std::string>>();
  CLI::App* command =
      app.add_subcommand("check", "Read each file and say whether it is sound, or what is wrong");
  command->add_option("FILE", *files, "XML documents to check")->required();
  command->callback([files, &shared] { shared.status = RunCheck(*files, shared.Read()); });
}

void AddStats(CLI::App& app, Shared& shared) {
  auto file = std::make_shared<std::string>();
  CLI::App* command = app.add_subcommand(
      "stats", "Print nodes by type, depth, shared nodes, references and the largest texts");
  command->add_option("FILE", *file, "XML document to read")->required();
  command->callback([file, &shared] { shared.status = RunStats(*file, shared.Read()); });
}

void AddDiff(CLI::App& app, Shared& shared) {
  auto before = std::make_shared<std::string>();
  auto after = std::make_shared<std::string>();
  CLI::App* command =
      app.add_subcommand("diff", "Print what changed from tree A to tree B, one line each");
  command->add_option("A", *before, "XML document before")->required();
  command->add_option("B", *after, "XML document after")->required();
  command->callback(
      [before, after, &shared] { shared.status = RunDiff(*before, *after, shared.Read()); });
}

// What every subcommand takes: --no-attributes for the files it reads, and the
// exit statuses under its help.
void AddCommonOptions(CLI::App& app, Shared& shared) {
  for (CLI::App* command : app.get_subcommands({})) {
    command->add_flag("--no-attributes", shared.noAttributes,
                      "Leave out the attributes (but desc and value) and the text beside child "
                      "elements of elements without ga:type: no @name and #text children");
    command->footer(kExitStatuses);
  }
}

} // namespace

int main(int argc, char** argv) {
  // The writers put out a great many small pieces; the C streams need not
  // see them in step.
  std::ios::sync_with_stdio(false);

  CLI::App app("Look into, convert, query, check and compare attribute tree files (the XML "
               "documents written by the genattr library, typed or not).",
               "genattr");
  app.set_version_flag("--version", "genattr " GENATTR_VERSION, "Print the library's version");
  app.require_subcommand(1, 1);
  app.footer(kExitStatuses);
  Shared shared;
  AddShow(app, shared);
  AddConvert(app, shared);
  AddGet(app, shared);
  AddFind(app, shared);
  AddCheck(app, shared);
  AddStats(app, shared);
  AddDiff(app, shared);
  AddCommonOptions(app, shared);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // Help and version end well; every mistake in the arguments is trouble.
    return app.exit(error) == 0 ? kExitOk : kExitTrouble;
  }
  return shared.status;
}
