#include "bench/BenchTree.h"

#include <string>
#include <vector>

namespace bench {

namespace {

// Enough names for the widest parent of any benchmark.
constexpr int kNameCount = 10000;

const std::vector<std::string>& Names() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> made;
    made.reserve(kNameCount);
    for (int i = 0; i < kNameCount; ++i) {
      made.push_back("n" + std::to_string(i));
    }
    return made;
  }();
  return names;
}

struct GenAttrBuilder {
  int depth = kDepth;
  long leaf = 0;
  std::string text;

  void Fill(GenAttrBase* parent, int level) {
    for (int i = 0; i < kFanout; ++i) {
      const char* name = ChildName(i);
      if (level + 1 < depth) {
        auto* container = new GenAttrCont(name);
        parent->AddAttr(container);
        Fill(container, level + 1);
        continue;
      }
      const long k = leaf++;
      switch (k % 3) {
      case 0:
        parent->AddAttr(new GenAttrInt(name, static_cast<int>(k)));
        break;
      case 1:
        parent->AddAttr(new GenAttrDouble(name, static_cast<double>(k) + 0.5));
        break;
      default:
        text = "s" + std::to_string(k);
        parent->AddAttr(new GenAttrString(name, text.c_str()));
        break;
      }
    }
  }
};

struct PugiBuilder {
  long leaf = 0;
  std::string text;

  void Fill(pugi::xml_node parent, int level) {
    for (int i = 0; i < kFanout; ++i) {
      pugi::xml_node child = parent.append_child(ChildName(i));
      if (level + 1 < kDepth) {
        Fill(child, level + 1);
        continue;
      }
      const long k = leaf++;
      pugi::xml_attribute value = child.append_attribute("value");
      switch (k % 3) {
      case 0:
        value.set_value(static_cast<int>(k));
        break;
      case 1:
        value.set_value(static_cast<double>(k) + 0.5);
        break;
      default:
        text = "s" + std::to_string(k);
        value.set_value(text.c_str());
        break;
      }
    }
  }
};

struct PlainBuilder {
  int depth = kDepth;
  bool reserve = true;
  long leaf = 0;

  void Fill(PlainNode& parent, int level) {
    if (reserve) {
      parent.children.reserve(kFanout);
    }
    for (int i = 0; i < kFanout; ++i) {
      PlainNode& child = *parent.children.emplace_back(std::make_unique<PlainNode>(ChildName(i)));
      if (level + 1 < depth) {
        Fill(child, level + 1);
        continue;
      }
      const long k = leaf++;
      switch (k % 3) {
      case 0:
        child.value = std::to_string(k);
        break;
      case 1:
        child.value = std::to_string(static_cast<double>(k) + 0.5);
        break;
      default:
        child.value = "s" + std::to_string(k);
        break;
      }
    }
  }
};

} // namespace

PlainNode::PlainNode(const PlainNode& other) : name(other.name), value(other.value) {
  children.reserve(other.children.size());
  for (const auto& child : other.children) {
    children.push_back(std::make_unique<PlainNode>(*child));
  }
}

std::unique_ptr<PlainNode> BuildPlainTree(bool reserve, int depth) {
  auto root = std::make_unique<PlainNode>("root");
  PlainBuilder builder;
  builder.depth = depth;
  builder.reserve = reserve;
  builder.Fill(*root, 0);
  return root;
}

const char* ChildName(int index) {
  return Names()[static_cast<std::size_t>(index)].c_str();
}

GenAttrBase* BuildGenAttrTree(int depth) {
  auto* root = new GenAttrCont("root");
  GenAttrBuilder builder;
  builder.depth = depth;
  builder.Fill(root, 0);
  return root;
}

void BuildPugiTree(pugi::xml_document& doc) {
  doc.reset();
  PugiBuilder().Fill(doc.append_child("root"), 0);
}

} // namespace bench
