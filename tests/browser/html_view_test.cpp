// The HTML view in a real browser: headless Chromium opens a copy of the page
// with two scripts of the test's added, a probe at the top of the head that
// records every error, blocked load and console error, and at the end of the
// body the actions (clicks, typing) and observations of the test, which end
// up as "key=value" lines (values URI-encoded) in an element of the DOM that
// the browser dumps.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fuzz/TextReference.h"
#include "genattr/GenAttr.h"
#include "tests/serialize/WriterTestUtil.h"

namespace {

using writertest::Tree;
using Results = std::map<std::string, std::string>;

const char kProbe[] = R"js(<script>
window.probe = [];
addEventListener('error', function (e) { probe.push('error: ' + e.message); });
addEventListener('unhandledrejection', function (e) { probe.push('rejection: ' + e.reason); });
document.addEventListener('securitypolicyviolation', function (e) {
  probe.push('blocked: ' + e.violatedDirective + ' ' + e.blockedURI);
});
var consoleError = console.error;
console.error = function () {
  probe.push('console: ' + Array.prototype.join.call(arguments, ' '));
  consoleError.apply(console, arguments);
};
</script>
)js";

const char kHelpers[] = R"js(
var results = [];
function put(key, value) { results.push(key + '=' + encodeURIComponent(String(value))); }
function finish() {
  put('errors', probe.join(' | '));
  var pre = document.createElement('pre');
  pre.id = 'test-results';
  pre.textContent = results.join('\n');
  document.body.appendChild(pre);
}
function byId(id) { return document.getElementById(id); }
function rows() {
  return Array.prototype.map.call(document.querySelectorAll('#rows .row'), function (r) { return r.dataset.i; }).join(',');
}
function row(i) { return document.querySelector('#rows .row[data-i="' + i + '"]'); }
// The texts of the name (without its marks), type, value, description and id.
function cells(i) {
  return Array.prototype.map.call(row(i).children, function (c) {
    var label = c.querySelector('.label');
    return (label || c).textContent;
  });
}
function hex(text) {
  return Array.prototype.map.call(new TextEncoder().encode(text), function (b) {
    return (b < 16 ? '0' : '') + b.toString(16);
  }).join('');
}
function type(text) {
  byId('search').value = text;
  byId('search').dispatchEvent(new Event('input'));
}
function later(step) { setTimeout(step, 500); }
)js";

std::string Decode(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string PageOf(GenAttrBase* root) {
  std::ostringstream out;
  GenAttrHTMLSerializer(root, &out).Write();
  return out.str();
}

// Opens `page` with the probe and `script` added, and returns what the
// script put(); "errors" holds what the probe recorded.
Results RunInBrowser(const std::string& page, const std::string& script) {
  const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  const std::filesystem::path dir = std::filesystem::path(GENATTR_BROWSER_WORK_DIR) / name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::string test = page;
  test.insert(test.find("<head>\n") + 7, kProbe);
  test.insert(test.rfind("</body>"), std::string("<script>") + kHelpers + script + "</script>\n");
  std::ofstream(dir / "page.html", std::ios::binary) << test;

  // Virtual time lets the page's and the test's timers run without waiting;
  // the window is tall enough for every row of the small trees.
  const std::string command = std::string("timeout 120 ") + GENATTR_CHROMIUM_COMMAND +
                              " --user-data-dir='" + (dir / "profile").string() +
                              "' --window-size=1280,4000 --virtual-time-budget=20000"
                              " --dump-dom 'file://" +
                              (dir / "page.html").string() + "' >'" + (dir / "dom.html").string() +
                              "' 2>'" + (dir / "chromium.log").string() + "'";
  // On a busy machine the browser may end its run before the page's script
  // has finished; such a run proves nothing either way, so it is repeated.
  int status = 0;
  std::string dom;
  std::size_t start = std::string::npos;
  std::size_t end = std::string::npos;
  for (int attempt = 0; attempt < 3 && (status != 0 || end == std::string::npos); ++attempt) {
    status = std::system(command.c_str());
    dom = ReadFile(dir / "dom.html");
    start = dom.find("<pre id=\"test-results\">");
    end = start == std::string::npos ? start : dom.find("</pre>", start);
  }
  Results results;
  if (status != 0 || start == std::string::npos || end == std::string::npos) {
    ADD_FAILURE() << "no results from: " << command << "\n" << ReadFile(dir / "chromium.log");
    return results;
  }
  std::istringstream lines(dom.substr(start + 23, end - start - 23));
  for (std::string line; std::getline(lines, line);) {
    const std::size_t equals = line.find('=');
    results[line.substr(0, equals)] = Decode(line.substr(equals + 1));
  }
  std::filesystem::remove_all(dir / "profile");
  return results;
}

std::string Hex(const std::string& text) {
  std::string out;
  char byte[3];
  for (const char c : text) {
    std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(c));
    out += byte;
  }
  return out;
}

TEST(HtmlView, ShowsTheModelTreeFoldsSearchesAndLinks) {
  // Entries: 0 Model, 1 Material, 2 Part, 3 Mass, 4 Count, 5 Count again,
  // 6 PartRef (children at 2), 7 Color, 8 Alpha. Two levels start unfolded.
  Tree tree = writertest::MakeModelTree();
  Results r = RunInBrowser(PageOf(tree.get()), R"js(
put('title', document.title);
put('count', byId('count').textContent);
put('start', rows());
put('material', cells(1).join('|'));
put('again', row(5).querySelector('a.link').getAttribute('href'));
put('shared', row(4).querySelector('.shared').textContent);
put('partref', row(6).querySelector('.ref').textContent + ' ' + row(6).querySelector('a.link').getAttribute('href'));
row(2).querySelector('.fold').click();
put('folded', rows() + ' ' + byId('shown').textContent);
row(2).querySelector('.fold').click();
put('unfolded', rows());
byId('collapse-all').click();
put('collapsed', rows() + ' ' + byId('shown').textContent);
byId('expand-all').click();
put('expanded', rows());
row(2).querySelector('.fold').click();
type('COUNT');
later(function () {
  put('search', rows() + ' ' + byId('matches').textContent + ', ' +
    document.querySelectorAll('#rows .hit').length + ' hit rows, ' +
    document.querySelectorAll('#rows mark').length + ' marks');
  type('');
  later(function () {
    put('cleared', rows());
    row(5).querySelector('a.link').click();
    later(function () {
      put('followed', rows() + ' ' + document.querySelector('#rows .flash').dataset.i + ' ' + location.hash);
      finish();
    });
  });
});
)js");
  EXPECT_EQ(r["errors"], "");
  EXPECT_EQ(r["title"], "Model \xE2\x80\x93 attribute tree");
  EXPECT_EQ(r["count"], "8 nodes"); // Count once
  EXPECT_EQ(r["start"], "0,1,2,3,4,5,6,7,8");
  EXPECT_EQ(r["material"], "Material|String|Steel|surface material|");
  EXPECT_EQ(r["again"], "#n4");
  EXPECT_EQ(r["shared"], "shared \xC3\x97"
                         "2");
  EXPECT_EQ(r["partref"], "ref #n2");
  EXPECT_EQ(r["folded"], "0,1,2,5,6,7,8 7 rows shown");
  EXPECT_EQ(r["unfolded"], "0,1,2,3,4,5,6,7,8");
  EXPECT_EQ(r["collapsed"], "0 1 row shown");
  EXPECT_EQ(r["expanded"], "0,1,2,3,4,5,6,7,8");
  // Count, its later place and PartRef (which shares it), with their
  // ancestors; the search unfolds Part.
  EXPECT_EQ(r["search"], "0,2,4,5,6 1 match, 2 hit rows, 2 marks");
  // Part folded again as before the search; following the link unfolds it.
  EXPECT_EQ(r["cleared"], "0,1,2,5,6,7,8");
  EXPECT_EQ(r["followed"], "0,1,2,3,4,5,6,7,8 4 #n4");
}

TEST(HtmlView, HostileTextsStayText) {
  const char* const hostile[] = {
      "</script><script>window.pwned = 1</script>",
      "<img src=x onerror=\"window.pwned = 2\">",
      "\"><svg onload=window.pwned=3>",
      "<!-- <script>",
      "</SCRIPT \t/",
      "]]><iframe src=\"javascript:window.pwned=4\"></iframe>",
      "\\u003cb\\u003e &lt;b&gt; ' \\",
      "\x01\x7F\xFF\xE2\x80\xA8 bytes", // read as ISO 8859-1 under the "C" locale
  };
  auto* root = new GenAttrCont("<b>root</b>");
  Tree tree(root);
  for (const char* text : hostile) {
    auto* cont = new GenAttrCont(text, text);
    cont->SetId(text);
    cont->AddAttr(new GenAttrString(text, text, text));
    root->AddAttr(cont);
  }
  const wchar_t wide[] = {L'<', L'a', 0xD800, 0x2028, L'>', 0};
  root->AddAttr(new GenAttrUnicodeString("wide", wide));
  Results r = RunInBrowser(PageOf(tree.get()), R"js(
byId('expand-all').click();
put('pwned', typeof window.pwned);
put('scripts', document.scripts.length);
put('foreign', document.querySelectorAll('b, img, svg, iframe, object, embed, link, base, form').length);
put('title', hex(document.title));
document.querySelectorAll('#rows .row').forEach(function (r) {
  cells(r.dataset.i).forEach(function (text, k) { put('cell' + r.dataset.i + '.' + k, hex(text)); });
});
finish();
)js");
  EXPECT_EQ(r["errors"], "");
  EXPECT_EQ(r["pwned"], "undefined");
  EXPECT_EQ(r["scripts"], "4"); // probe, data, view, test
  EXPECT_EQ(r["foreign"], "0");
  EXPECT_EQ(r["title"], Hex("<b>root</b> \xE2\x80\x93 attribute tree"));
  std::size_t entry = 1;
  for (const char* text : hostile) {
    const std::string shown = fuzz::Latin1ToUtf8(text);
    const std::string cont[] = {shown, "Cont", "", shown, shown};
    const std::string string[] = {shown, "String", shown, shown, ""};
    for (int k = 0; k < 5; ++k) {
      EXPECT_EQ(r["cell" + std::to_string(entry) + "." + std::to_string(k)], Hex(cont[k])) << text;
      EXPECT_EQ(r["cell" + std::to_string(entry + 1) + "." + std::to_string(k)], Hex(string[k]))
          << text;
    }
    entry += 2;
  }
  EXPECT_EQ(r["cell" + std::to_string(entry) + ".2"], Hex("<a\xEF\xBF\xBD\xE2\x80\xA8>"));
}

TEST(HtmlView, OpensFoldsAndScrollsTwoHundredThousandNodes) {
  // 1 + 2,000 groups of 1 + 99 leaves: more rows than the spacer's height
  // holds at one pixel per pixel, so scrolling is scaled.
  auto* root = new GenAttrCont("big");
  Tree tree(root);
  int leaf = 0;
  for (int g = 0; g < 2000; ++g) {
    auto* group = new GenAttrCont("group");
    for (int k = 0; k < 99; ++k) {
      group->AddAttr(new GenAttrString("leaf", ("value-" + std::to_string(leaf++)).c_str()));
    }
    root->AddAttr(group);
  }
  Results r = RunInBrowser(PageOf(tree.get()), R"js(
put('count', byId('count').textContent);
byId('collapse-all').click();
put('collapsed', byId('shown').textContent);
byId('expand-all').click();
put('expanded', byId('shown').textContent + ' ' + document.querySelectorAll('#rows .row').length);
var view = byId('view');
view.scrollTop = view.scrollHeight;
later(function () {
  put('end', rows().split(',').pop());
  row(199901).querySelector('.fold').click();
  put('folded', byId('shown').textContent + ' ' + rows().split(',').pop());
  type('VALUE-77777');
  later(function () {
    put('search', rows() + ' ' + byId('matches').textContent);
    finish();
  });
});
)js");
  EXPECT_EQ(r["errors"], "");
  EXPECT_EQ(r["count"], "200,001 nodes");
  EXPECT_EQ(r["collapsed"], "1 row shown");
  // Every row counted, but only those in view made.
  const std::string expanded = r["expanded"];
  const std::size_t made = expanded.rfind(' ');
  EXPECT_EQ(expanded.substr(0, made), "200,001 rows shown");
  EXPECT_LT(std::stoi(expanded.substr(made + 1)), 300);
  // The last row can be scrolled to; folding the last group there keeps it in view.
  EXPECT_EQ(r["end"], "200000");
  EXPECT_EQ(r["folded"], "199,902 rows shown 199901");
  // Leaf 77777 is leaf 62 of group 785: entry 1 + 785 * 100 + 1 + 62.
  EXPECT_EQ(r["search"], "0,78501,78564 1 match");
}

} // namespace
