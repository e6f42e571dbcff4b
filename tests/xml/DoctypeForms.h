// DOCTYPEs as documents from elsewhere carry them, with what the reader makes
// of each: shared by the reader's tests and the comparison with libxml2.
#ifndef GENATTR_TESTS_XML_DOCTYPEFORMS_H
#define GENATTR_TESTS_XML_DOCTYPEFORMS_H

namespace foreign {

struct Form {
  const char* document;
  int status;
  const char* expected; // the leaves (see Leaves) for status 0, else the message
  // Whether libxml2 (network off, no DTD loaded) reads it alike; it expands
  // internal parameter entities, which the reader never reads.
  bool likeLibxml2;
};

inline const Form kForms[] = {
    // An external subset only, by SYSTEM and by PUBLIC id: never read.
    {"<!DOCTYPE r SYSTEM \"r.dtd\"><r>t</r>", 0, "r=t;", true},
    {"<!DOCTYPE r PUBLIC \"-//Example//DTD R 1.0//EN\" \"http://example.invalid/r.dtd\"><r>t</r>",
     0, "r=t;", true},
    // An internal subset with declarations the tree has no use for.
    {"<!DOCTYPE r [<!ELEMENT r (v*)><!ELEMENT v (#PCDATA)><!ATTLIST v n CDATA 'd'>"
     "<!NOTATION gif SYSTEM 'image/gif'><!-- c --><?pi x?>]><r><v>1</v></r>",
     0, "v=1;", true},
    // Internal entities expanded: nested, with a character reference that
    // becomes a reference, with markup, in an attribute value.
    {"<!DOCTYPE r [<!ENTITY e 'E'><!ENTITY f '[&e;&#38;amp;]'>]><r>&f;&e;</r>", 0, "r=[E&]E;",
     true},
    {"<!DOCTYPE r [<!ENTITY m '<v>1</v><v desc=\"&d;\">2</v>'><!ENTITY d 'two'>]><r>&m;</r>", 0,
     "v=1;v[two]=2;", true},
    // SVG 1.1 as drawing programs write it.
    {"<?xml version=\"1.0\" standalone=\"no\"?>\n<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
     "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\n<svg width=\"10\" height=\"10\" "
     "xmlns=\"http://www.w3.org/2000/svg\"><title>Mark</title><rect width=\"5\" height=\"5\"/>"
     "</svg>",
     0, "title=Mark;rect=;", true},
    // XHTML: an entity its external subset would declare stays as written.
    {"<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
     "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\"><html><p>a&nbsp;b</p></html>",
     0, "p=a&nbsp;b;", true},
    // External entities, SYSTEM and PUBLIC, directly and inside an internal one.
    {"<!DOCTYPE r [<!ENTITY x SYSTEM 'x.txt'>]><r>a&x;b</r>", 0, "r=a&x;b;", true},
    {"<!DOCTYPE r [<!ENTITY x PUBLIC '-//Example//TEXT X//EN' 'http://example.invalid/x'>]>"
     "<r>&x;</r>",
     0, "r=&x;;", true},
    {"<!DOCTYPE r [<!ENTITY x SYSTEM 'x.txt'><!ENTITY i '(&x;)'>]><r>&i;</r>", 0, "r=(&x;);", true},
    // An external parameter entity is not read, and what it could declare or
    // change is not known: later declarations are left out.
    {"<!DOCTYPE r [<!ENTITY % p SYSTEM 'p.ent'>%p;<!ENTITY b 'B'>]><r>&b;</r>", 0, "r=&b;;", false},
    {"<!DOCTYPE r [<!ENTITY % p '<!ENTITY b \"B\">'>%p;]><r>&b;</r>", 0, "r=&b;;", false},
    // Undefined where no declaration can provide it: no DOCTYPE, an internal
    // subset only, a standalone document, an attribute value, a replacement
    // text.
    {"<r>&u;</r>", 2, "undefined entity: &u;", true},
    {"<!DOCTYPE r [<!ENTITY e 'E'>]><r>&e;&u;</r>", 2, "undefined entity: &u;", true},
    {"<?xml version=\"1.0\" standalone=\"yes\"?><!DOCTYPE r SYSTEM \"r.dtd\"><r>&u;</r>", 2,
     "undefined entity: &u;", true},
    {"<r desc=\"a&amp;&u;\"/>", 2, "undefined entity: &u;", true},
    {"<!DOCTYPE r [<!ENTITY e '(&f;)'><!ENTITY f '[&u;]'>]><r>&e;</r>", 2, "undefined entity: &u;",
     true},
    // Never expanded: an external entity in an attribute value, an entity
    // that contains itself.
    {"<!DOCTYPE r [<!ENTITY x SYSTEM 'x.txt'>]><r desc='&x;'/>", 2,
     "reference to external entity in attribute", true},
    {"<!DOCTYPE r [<!ENTITY a '&b;'><!ENTITY b '(&a;)'>]><r>&a;</r>", 2, "recursive entity: &b;",
     true},
    // What looks like a reference inside a comment, CDATA section or
    // processing instruction of a replacement text is text: neither
    // recursive nor undefined.
    {"<!DOCTYPE r [<!ENTITY e '<!--&#38;e;-->x'>]><r>&e;</r>", 0, "r=x;", true},
    {"<!DOCTYPE r [<!ENTITY e '<![CDATA[&#38;e;&#38;u;]]>x'>]><r>&e;</r>", 0, "r=&e;&u;x;", true},
    {"<!DOCTYPE r [<!ENTITY e '<?p &#38;u;?>(&f;)'><!ENTITY f 'F'>]><r>&e;</r>", 0, "r=(F);", true},
    {"<!DOCTYPE r [<!ENTITY e '<!-- &#38;u; -->&f;'><!ENTITY f '&e;'>]><r>&e;</r>", 2,
     "recursive entity: &f;", true},
};

} // namespace foreign

#endif // GENATTR_TESTS_XML_DOCTYPEFORMS_H
