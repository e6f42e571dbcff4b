/* The genattr_ functions as a C host uses them, compiled as C99, together
 * with the flat interface and nothing else: every tree made here is released
 * through genattr_unref(), so the leak checkers see every node go. Groups:
 *   release  reference counts: sharing, keeping a node beyond its tree
 *   texts    names, descriptions, types and value texts of every type
 *   values   typed values: exact round trips, refusals of other types
 *   walk     positions over children, counts, the cursor left alone
 *   edit     removing and inserting against a model of the chain
 *   write    both files and their statuses
 *   nulls    null handles, texts and positions */
#define _POSIX_C_SOURCE 200809L

#include <float.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <wchar.h>

#include "genattr/genattr_c.h"
#include "genattr/genattr_c_ext.h"
#include "tests/capi/c_check.h"

/* Walks the children of `parent` by position and compares them with the
 * null-terminated `expected`; the count must agree. */
static void check_children(const GenAttrHandle* parent, GenAttrHandle* const* expected, int line) {
  const GenAttrChildPos* pos = genattr_first_child(parent);
  size_t index = 0;
  for (; expected[index] != NULL; ++index, pos = genattr_next_child(pos)) {
    if (genattr_child_at(pos) != expected[index]) {
      fprintf(stderr, "line %d: child %u is not the expected node\n", line, (unsigned)index);
      ++failures;
      return;
    }
  }
  check(pos == NULL, line, "no position after the last child");
  check(genattr_count_children(parent) == index, line, "count of children");
}
#define CHECK_CHILDREN(parent, ...)                                                                \
  check_children((parent), (GenAttrHandle* const[]){__VA_ARGS__, NULL}, __LINE__)
#define CHECK_CHILDREN_OF(parent, expected) check_children((parent), (expected), __LINE__)
#define CHECK_NO_CHILDREN(parent) check_children((parent), (GenAttrHandle* const[]){NULL}, __LINE__)

static void test_release(void) {
  GenAttrHandle* left = QMV_GenAttr_Create_Cont("Left");
  GenAttrHandle* right = QMV_GenAttr_Create_Cont("Right");
  GenAttrHandle* shared = QMV_GenAttr_Create_Int("Shared", 1);
  GenAttrHandle* kept = QMV_GenAttr_Create_String("Kept", "still here");

  CHECK(genattr_get_refcount(shared) == 0);
  genattr_addref(shared);
  CHECK(genattr_get_refcount(shared) == 1);
  QMV_GenAttr_Base_AddAttr(left, shared);
  QMV_GenAttr_Base_AddAttr(right, shared);
  QMV_GenAttr_Base_AddAttr(right, shared);
  CHECK(genattr_get_refcount(shared) == 4);
  genattr_unref(shared); /* the host's own count */
  genattr_unref(right);  /* gives back both of its links; Shared lives on in Left */
  CHECK(genattr_get_refcount(shared) == 1);
  CHECK_CHILDREN(left, shared);

  /* Keeping a node beyond its tree: count it, release the tree, use it, let
   * it go. */
  QMV_GenAttr_Base_AddAttr(left, kept);
  genattr_addref(kept);
  CHECK(genattr_get_refcount(kept) == 2);
  genattr_unref(left);
  CHECK(genattr_get_refcount(kept) == 1);
  CHECK_TEXT(QMV_GenAttr_String_GetValue(kept), "still here");
  genattr_unref(kept);
}

static void test_texts(void) {
  GenAttrHandle* root = QMV_GenAttr_Create_Cont_Desc("Model", "the root");
  GenAttrHandle* nodes[8]; /* by type code; Base (0) has no Create function */
  static const char* const names[8] = {"",    "String", "Float",         "Double",
                                       "Int", "Cont",   "UnicodeString", "Ptr"};
  static const char* const values[7] = {"", "Steel", "1.5000", "12.5000", "-3", "", "abc"};
  const char *first, *second;
  int type;

  nodes[1] = QMV_GenAttr_Create_String_Desc("S", "a string", "Steel");
  nodes[2] = QMV_GenAttr_Create_Float("F", 1.5f);
  nodes[3] = QMV_GenAttr_Create_Double("D", 12.5);
  nodes[4] = QMV_GenAttr_Create_Int("I", -3);
  nodes[5] = QMV_GenAttr_Create_Cont("C");
  nodes[6] = QMV_GenAttr_Create_UnicodeString_Desc("U", "", L"abc");
  nodes[7] = QMV_GenAttr_Create_Ptr("P", NULL);
  for (type = 1; type < 8; ++type) {
    QMV_GenAttr_Base_AddAttr(root, nodes[type]);
    CHECK(genattr_get_type(nodes[type]) == type);
    CHECK_TEXT(genattr_get_type_name(nodes[type]), names[type]);
    if (type < 7) {
      CHECK_TEXT(genattr_get_value_text(nodes[type]), values[type]);
    }
  }
  CHECK(genattr_get_value_text(nodes[7]) != NULL); /* its text depends on the platform */

  /* Type names are constants: two of them can be used side by side. */
  first = genattr_get_type_name(nodes[4]);
  second = genattr_get_type_name(root);
  CHECK_TEXT(first, "Int");
  CHECK_TEXT(second, "Cont");
  /* A String's value text is its own value. */
  CHECK(genattr_get_value_text(nodes[1]) == QMV_GenAttr_String_GetValue(nodes[1]));

  CHECK_TEXT(genattr_get_name(root), "Model");
  CHECK_TEXT(genattr_get_description(root), "the root");
  CHECK_TEXT(genattr_get_description(nodes[6]), ""); /* empty ... */
  CHECK(genattr_get_description(nodes[3]) == NULL);  /* ... is not none */
  genattr_set_name(nodes[3], "Mass");
  genattr_set_name(nodes[3], genattr_get_name(nodes[3])); /* its own text */
  genattr_set_description(nodes[3], "kg");
  genattr_set_description(root, NULL);
  CHECK_TEXT(genattr_get_name(nodes[3]), "Mass");
  CHECK_TEXT(genattr_get_description(nodes[3]), "kg");
  CHECK(genattr_get_description(root) == NULL);
  CHECK(QMV_GenAttr_Base_GetAttr(root, "Mass") == nodes[3]);
  genattr_unref(root);
}

/* Each getter succeeds exactly on its own type; the value is then exact. */
static void test_values(void) {
  static float float_value = 0.1f;
  GenAttrHandle* nodes[7];
  int type, i, status;
  float f = 0;
  double d = 0;
  const wchar_t* w = NULL;
  void* p = NULL;
  const wchar_t* const wide = L"\u00e9t\u00e9 \U0001F600";

  nodes[0] = QMV_GenAttr_Create_Cont("C");
  nodes[1] = QMV_GenAttr_Create_String("S", "s");
  nodes[2] = QMV_GenAttr_Create_Float("F", 0);
  nodes[3] = QMV_GenAttr_Create_Double("D", 0);
  nodes[4] = QMV_GenAttr_Create_Int("I", 0);
  nodes[5] = QMV_GenAttr_Create_UnicodeString("U", L"");
  nodes[6] = QMV_GenAttr_Create_Ptr("P", NULL);

  capture_begin();
  for (i = 0; i < 7; ++i) {
    type = genattr_get_type(nodes[i]);
    CHECK(genattr_set_int(nodes[i], INT_MIN) == (type == GENATTR_TYPE_INT));
    CHECK(genattr_set_float(nodes[i], float_value) == (type == GENATTR_TYPE_FLOAT));
    CHECK(genattr_set_double(nodes[i], -DBL_MAX) == (type == GENATTR_TYPE_DOUBLE));
    CHECK(genattr_set_wide(nodes[i], wide) == (type == GENATTR_TYPE_UNICODE_STRING));
    CHECK(genattr_set_ptr(nodes[i], &float_value) == (type == GENATTR_TYPE_PTR));
  }
  for (i = 0; i < 7; ++i) {
    int n = 7;
    type = genattr_get_type(nodes[i]);
    status = genattr_get_int(nodes[i], &n);
    CHECK(status == (type == GENATTR_TYPE_INT) && n == (status ? INT_MIN : 7));
    status = genattr_get_float(nodes[i], &f);
    CHECK(status == (type == GENATTR_TYPE_FLOAT) && (!status || f == float_value));
    status = genattr_get_double(nodes[i], &d);
    CHECK(status == (type == GENATTR_TYPE_DOUBLE) && (!status || d == -DBL_MAX));
    status = genattr_get_wide(nodes[i], &w);
    CHECK(status == (type == GENATTR_TYPE_UNICODE_STRING) && (!status || wcscmp(w, wide) == 0));
    status = genattr_get_ptr(nodes[i], &p);
    CHECK(status == (type == GENATTR_TYPE_PTR) && (!status || p == &float_value));
  }
  /* The string and the id were left alone; nothing was reported. */
  CHECK(QMV_GenAttr_Cont_GetId(nodes[0]) == NULL);
  CHECK_TEXT(QMV_GenAttr_String_GetValue(nodes[1]), "s");
  CHECK_TEXT(capture_end(), "");

  /* A null wide value is the empty text. */
  CHECK(genattr_set_wide(nodes[5], NULL) == 1);
  CHECK(genattr_get_wide(nodes[5], &w) == 1 && w != NULL && w[0] == L'\0');
  for (i = 0; i < 7; ++i) {
    genattr_unref(nodes[i]);
  }
}

static void test_walk(void) {
  GenAttrHandle* part = QMV_GenAttr_Create_Cont("Part");
  GenAttrHandle* a = QMV_GenAttr_Create_Int("a", 1);
  GenAttrHandle* b = QMV_GenAttr_Create_Int("b", 2);
  GenAttrHandle* front = QMV_GenAttr_Create_Int("front", 0);
  GenAttrHandle* ref;

  CHECK_NO_CHILDREN(part);
  CHECK(genattr_first_child(a) == NULL);
  QMV_GenAttr_Base_AddAttr(part, a);
  QMV_GenAttr_Base_AddAttr(part, b);
  QMV_GenAttr_Base_AddAttr(part, a); /* linked twice: visited and counted twice */
  CHECK_CHILDREN(part, a, b, a);

  /* The walk leaves the node's cursor where the host put it. */
  CHECK(QMV_GenAttr_Base_GetFirstAttr(part) == a);
  CHECK_CHILDREN(part, a, b, a);
  CHECK(QMV_GenAttr_Base_GetNextAttr(part) == b);

  /* A reference walks what it sees: its own front link, then the shared chain. */
  ref = QMV_GenAttr_Create_Cont_Ref("PartRef", part);
  QMV_GenAttr_Base_AddAttrAtTop(ref, front);
  CHECK_CHILDREN(ref, front, a, b, a);
  CHECK_CHILDREN(part, a, b, a);
  genattr_unref(ref);
  genattr_unref(part);
}

/* Random edits of one parent's chain against an array model: inserts in
 * front of a random node (one not linked too) or at the end, removals of a
 * random node, now and then a removal of all. The test counts each node of
 * the pool once itself, so a node's count is 1 plus its links. */
static void test_edit(void) {
  enum { kPool = 4, kSteps = 600, kMax = 24 };
  GenAttrHandle* parent = QMV_GenAttr_Create_Cont("Parent");
  GenAttrHandle* pool[kPool];
  GenAttrHandle* model[kMax + 1]; /* null-terminated */
  GenAttrHandle *a, *b, *c;
  size_t length = 0, at, i;
  unsigned long seed = 2026;
  int step, n, links;

  for (n = 0; n < kPool; ++n) {
    pool[n] = QMV_GenAttr_Create_Int("n", n);
    genattr_addref(pool[n]);
  }
  for (step = 0; step < kSteps && failures == 0; ++step) {
    unsigned long r;
    unsigned op;
    int linked;
    GenAttrHandle *node, *before;
    seed = (seed * 1103515245UL + 12345UL) & 0x7fffffffUL;
    r = seed >> 8;
    op = length < kMax ? r % 16 : 8; /* 0-7 insert, 8-14 remove, 15 remove all */
    node = pool[(r >> 4) % kPool];
    before = (r >> 6) % 3 == 0 ? NULL : pool[(r >> 8) % kPool];
    /* The first link to `before` (or the end) for an insert, to `node` for a
     * removal. */
    for (at = 0; at < length && model[at] != (op < 8 ? before : node); ++at) {
    }
    if (op < 8) {
      linked = before == NULL || at < length;
      CHECK(genattr_insert_child(parent, node, before) == linked);
      if (linked) {
        for (i = length++; i > at; --i) {
          model[i] = model[i - 1];
        }
        model[at] = node;
      }
    } else if (op < 15) {
      CHECK(genattr_remove_child(parent, node) == (at < length));
      if (at < length) {
        for (i = at, --length; i < length; ++i) {
          model[i] = model[i + 1];
        }
      }
    } else {
      genattr_remove_all_children(parent);
      length = 0;
    }
    model[length] = NULL;
    CHECK_CHILDREN_OF(parent, model);
    for (n = 0; n < kPool; ++n) {
      for (links = 0, i = 0; i < length; ++i) {
        links += model[i] == pool[n];
      }
      CHECK(genattr_get_refcount(pool[n]) == 1 + links);
    }
  }
  genattr_unref(parent);
  for (n = 0; n < kPool; ++n) {
    CHECK(genattr_get_refcount(pool[n]) == 1);
    genattr_unref(pool[n]);
  }

  /* Moving a node that only its parent counts: keep it across the gap. */
  parent = QMV_GenAttr_Create_Cont("Parent");
  a = QMV_GenAttr_Create_Int("a", 1);
  b = QMV_GenAttr_Create_Int("b", 2);
  c = QMV_GenAttr_Create_Int("c", 3);
  QMV_GenAttr_Base_AddAttr(parent, a);
  QMV_GenAttr_Base_AddAttr(parent, b);
  QMV_GenAttr_Base_AddAttr(parent, c);
  genattr_addref(c);
  CHECK(genattr_remove_child(parent, c) == 1);
  CHECK(genattr_insert_child(parent, c, a) == 1);
  genattr_unref(c);
  CHECK_CHILDREN(parent, c, a, b);
  CHECK(genattr_get_refcount(c) == 1);
  /* Removing under the cursor: the next step reaches the child that followed. */
  CHECK(QMV_GenAttr_Base_GetFirstAttr(parent) == c);
  CHECK(QMV_GenAttr_Base_GetNextAttr(parent) == a);
  CHECK(genattr_remove_child(parent, a) == 1); /* a ends here */
  CHECK(QMV_GenAttr_Base_GetNextAttr(parent) == b);
  CHECK_CHILDREN(parent, c, b);
  genattr_unref(parent);
}

/* Copies the file with the 24 characters of its time stamp masked; the CR LF
 * line ends of a Windows text-mode file are read as LF. */
static char* read_masked(const char* path) {
  char* text = read_file(path);
  char* stamp;
#if defined(_WIN32)
  char* to = text;
  const char* from = text;
  for (; text != NULL && *from != '\0'; ++from) {
    if (!(from[0] == '\r' && from[1] == '\n')) {
      *to++ = *from;
    }
  }
  if (text != NULL) {
    *to = '\0';
  }
#endif
  stamp = text != NULL ? strstr(text, "<DateAndTime>") : NULL;
  if (stamp != NULL && strlen(stamp) > 13 + 24) {
    memset(stamp + 13, '#', 24);
  }
  return text;
}

static void test_write(void) {
  const char* const xml = "ext_write.xml";
  const char* const listing = "ext_write.txt";
  GenAttrHandle* root = QMV_GenAttr_Create_Cont("Model");
  GenAttrHandle* part = QMV_GenAttr_Create_Cont_Desc("Part", "a & b");
  char* text;

  QMV_GenAttr_Base_AddAttr(root, part);
  QMV_GenAttr_Base_AddAttr(part, QMV_GenAttr_Create_Double("Mass", 12.5));
  QMV_GenAttr_Base_AddAttr(root, QMV_GenAttr_Create_String("Material", "<Steel>"));

  remove(xml);
  CHECK(genattr_write_xml_file(root, xml, 0) == 0);
  text = read_masked(xml);
  CHECK_TEXT(text, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                   "<Model><DateAndTime>########################</DateAndTime>\n"
                   "\n"
                   "  <Part desc=\"a &amp; b\">\n"
                   "    <Mass>12.5000</Mass>\n"
                   "  </Part>\n"
                   "  <Material>&lt;Steel&gt;</Material>\n"
                   "</Model>\n");
  free(text);

  remove(listing);
  CHECK(genattr_write_text_file(part, listing) == 0);
  CHECK_FILE(listing, "-------------------------------------------------\n"
                      "Name: Part                 (Description: a & b)  (Type: Cont)\n"
                      "  Name: Mass                Value: 12.5000  (Type: Double)\n");

  /* The statuses of the factory. */
  CHECK(genattr_write_xml_file(root, "no-such-directory/x.xml", 0) == 1);
  CHECK(genattr_write_text_file(root, "no-such-directory/x.txt") == 1);
  CHECK(!file_exists("no-such-directory"));
  if (access("/dev/full", W_OK) == 0) {
    CHECK(genattr_write_xml_file(root, "/dev/full", 0) == 2);
    CHECK(genattr_write_text_file(root, "/dev/full") == 2);
  }
  genattr_unref(root);
}

static void test_nulls(void) {
  GenAttrHandle* node = QMV_GenAttr_Create_Int("N", 5);
  int n = 7;
  float f = 7;
  double d = 7;
  const wchar_t* w = L"kept";
  void* p = &n;

  capture_begin();
  genattr_addref(NULL);
  genattr_unref(NULL);
  CHECK(genattr_get_refcount(NULL) == 0);
  CHECK(genattr_get_name(NULL) == NULL);
  CHECK(genattr_get_description(NULL) == NULL);
  CHECK(genattr_get_type(NULL) == -1);
  CHECK(genattr_get_type_name(NULL) == NULL);
  CHECK(genattr_get_value_text(NULL) == NULL);
  genattr_set_name(NULL, "x");
  genattr_set_name(node, NULL);
  genattr_set_description(NULL, "x");
  CHECK_TEXT(genattr_get_name(node), "N");

  CHECK(genattr_get_int(NULL, &n) == 0 && n == 7);
  CHECK(genattr_get_int(node, NULL) == 0);
  CHECK(genattr_get_float(NULL, &f) == 0 && f == 7);
  CHECK(genattr_get_double(NULL, &d) == 0 && d == 7);
  CHECK(genattr_get_wide(NULL, &w) == 0 && wcscmp(w, L"kept") == 0);
  CHECK(genattr_get_ptr(NULL, &p) == 0 && p == &n);
  CHECK(genattr_set_int(NULL, 1) == 0);
  CHECK(genattr_set_float(NULL, 1) == 0);
  CHECK(genattr_set_double(NULL, 1) == 0);
  CHECK(genattr_set_wide(NULL, L"x") == 0);
  CHECK(genattr_set_ptr(NULL, NULL) == 0);

  CHECK(genattr_count_children(NULL) == 0);
  CHECK(genattr_first_child(NULL) == NULL);
  CHECK(genattr_next_child(NULL) == NULL);
  CHECK(genattr_child_at(NULL) == NULL);
  CHECK(genattr_remove_child(NULL, node) == 0);
  CHECK(genattr_remove_child(node, NULL) == 0);
  CHECK(genattr_insert_child(NULL, node, NULL) == 0);
  CHECK(genattr_insert_child(node, NULL, NULL) == 0);
  genattr_remove_all_children(NULL);
  CHECK(genattr_get_refcount(node) == 0);

  CHECK(genattr_write_text_file(NULL, "nulls.txt") == 1);
  CHECK(genattr_write_xml_file(NULL, "nulls.xml", 0) == 1);
  CHECK(genattr_write_text_file(node, NULL) == 1);
  CHECK(genattr_write_xml_file(node, NULL, 0) == 1);
  CHECK(!file_exists("nulls.txt") && !file_exists("nulls.xml"));
  CHECK_TEXT(capture_end(), "");
  genattr_unref(node);
}

int main(int argc, char** argv) {
  static const struct test_group groups[] = {{"release", test_release}, {"texts", test_texts},
                                             {"values", test_values},   {"walk", test_walk},
                                             {"edit", test_edit},       {"write", test_write},
                                             {"nulls", test_nulls}};
  return run_test_group(argc, argv, groups, sizeof(groups) / sizeof(groups[0]));
}
