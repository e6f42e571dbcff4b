// genattr: look into, convert, query, check and compare attribute files.
// The arguments are parsed here; each subcommand runs in Commands.cpp.
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/Commands.h"

namespace {

using namespace genattr::cli;

const char* const kExitStatuses = "Exit status: 0 done (found, sound, equal); 1 no such node, no "
                                  "match, not sound or different; 2 trouble (a file cannot be "
                                  "read or written, a wrong argument).";

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
  int status = kExitOk;
  // Every subcommand reads files, and each takes --no-attributes for them.
  bool noAttributes = false;
  const auto readOptions = [&noAttributes] {
    GenAttrReadOptions options;
    options.mKeepAttributes = !noAttributes;
    return options;
  };

  ShowOptions show;
  CLI::App* showCommand = app.add_subcommand("show", "Print the plain-text listing of the tree");
  showCommand->add_option("FILE", show.file, "XML document to show")->required();
  showCommand->add_option("--depth", show.depth, "Leave out the nodes below level N (0: the start)")
      ->type_name("N")
      ->check(CLI::Validator(
          [](std::string& text) {
            return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos
                       ? std::string()
                       : "a level is a whole number from 0 up, not '" + text + "'";
          },
          "N"));
  showCommand->add_option("--path", show.path, "Start at the node at path P instead of the root")
      ->type_name("P");
  showCommand->callback([&] {
    show.limitDepth = showCommand->count("--depth") > 0;
    show.hasPath = showCommand->count("--path") > 0;
    show.read = readOptions();
    status = RunShow(show);
  });

  ConvertOptions convert;
  CLI::App* convertCommand = app.add_subcommand("convert", "Write the tree of IN to OUT");
  convertCommand->add_option("IN", convert.in, "XML document to read")->required();
  convertCommand->add_option("OUT", convert.out, "File to write, - for standard output")
      ->required();
  convertCommand
      ->add_option("--to", convert.to,
                   "Format: text, xml, typed or html (default: from OUT's extension, .txt .xml "
                   ".html)")
      ->type_name("FORMAT")
      ->check(CLI::IsMember({"text", "xml", "typed", "html"}));
  convertCommand->add_option("--xsl", convert.xsl, "XSL stylesheet link written into the XML")
      ->type_name("HREF");
  convertCommand->add_option("--css", convert.css, "CSS stylesheet named in the XML's root element")
      ->type_name("FILE");
  bool noTimeStamp = false;
  convertCommand->add_flag("--no-timestamp", noTimeStamp,
                           "Leave out the time of writing (the XML documents' DateAndTime, the "
                           "page's \"written\"): the same tree gives the same bytes");
  convertCommand->callback([&] {
    convert.timeStamp = !noTimeStamp;
    convert.read = readOptions();
    status = RunConvert(convert);
  });

  std::string getFile;
  std::string getPath;
  CLI::App* getCommand = app.add_subcommand("get", "Print the value text of the node at PATH");
  getCommand->add_option("FILE", getFile, "XML document to read")->required();
  getCommand
      ->add_option("PATH", getPath,
                   "Child names joined by /, starting below the root; Name[k] is the k-th child "
                   "of that name")
      ->required();
  getCommand->callback([&] { status = RunGet(getFile, getPath, readOptions()); });

  FindOptions find;
  CLI::App* findCommand =
      app.add_subcommand("find", "Print the path of every matching node, one per line, in order");
  findCommand->add_option("FILE", find.file, "XML document to search")->required();
  findCommand->add_option("--name", find.name, "Name equal to N")->type_name("N");
  findCommand
      ->add_option("--value", find.value, "Value text equal to V (numbers as shown: 12.5000)")
      ->type_name("V");
  findCommand
      ->add_option("--type", find.type,
                   "Type T: Base, String, Float, Double, Int, Cont, "
                   "UnicodeString or Ptr")
      ->type_name("T");
  findCommand->callback([&] {
    find.hasName = findCommand->count("--name") > 0;
    find.hasValue = findCommand->count("--value") > 0;
    find.hasType = findCommand->count("--type") > 0;
    find.read = readOptions();
    status = RunFind(find);
  });

  std::vector<std::string> checkFiles;
  CLI::App* checkCommand =
      app.add_subcommand("check", "Read each file and say whether it is sound, or what is wrong");
  checkCommand->add_option("FILE", checkFiles, "XML documents to check")->required();
  checkCommand->callback([&] { status = RunCheck(checkFiles, readOptions()); });

  std::string statsFile;
  CLI::App* statsCommand = app.add_subcommand(
      "stats", "Print nodes by type, depth, shared nodes, references and the largest texts");
  statsCommand->add_option("FILE", statsFile, "XML document to read")->required();
  statsCommand->callback([&] { status = RunStats(statsFile, readOptions()); });

  std::string before;
  std::string after;
  CLI::App* diffCommand =
      app.add_subcommand("diff", "Print what changed from tree A to tree B, one line each");
  diffCommand->add_option("A", before, "XML document before")->required();
  diffCommand->add_option("B", after, "XML document after")->required();
  diffCommand->callback([&] { status = RunDiff(before, after, readOptions()); });

  for (CLI::App* command : app.get_subcommands({})) {
    command->add_flag("--no-attributes", noAttributes,
                      "Leave out the attributes (but desc and value) and the text beside child "
                      "elements of elements without ga:type: no @name and #text children");
    command->footer(kExitStatuses);
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // Help and version end well; every mistake in the arguments is trouble.
    return app.exit(error) == 0 ? kExitOk : kExitTrouble;
  }
  return status;
}
