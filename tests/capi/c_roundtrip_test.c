/* A tree of every kind written as the typed document and read back through
 * the C functions alone, compared node for node and in shape; then the read
 * statuses a C host sees. Needs the reader library. */
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "genattr/genattr_c.h"
#include "genattr/genattr_c_ext.h"
#include "tests/capi/c_check.h"

/* 1 when the two texts are both null or equal. */
static int same_text(const char* a, const char* b) {
  return (a == NULL || b == NULL) ? a == b : strcmp(a, b) == 0;
}

/* Compares `read` with `written` and their subtrees; Ptr values come back
 * null, every other value exactly. Returns the number of nodes compared. */
static int compare_trees(const GenAttrHandle* written, const GenAttrHandle* read, int line) {
  const GenAttrChildPos *w = genattr_first_child(written), *r = genattr_first_child(read);
  int nodes = 1, type = genattr_get_type(written);
  int wi, ri;
  float wf, rf;
  double wd, rd;
  const wchar_t *ww, *rw;
  void* rp;

  check(type == genattr_get_type(read), line, genattr_get_name(written));
  check(same_text(genattr_get_name(written), genattr_get_name(read)), line, "name");
  check(same_text(genattr_get_description(written), genattr_get_description(read)), line,
        "description");
  check(QMV_GenAttr_Base_IsReference((GenAttrHandle*)written) ==
            QMV_GenAttr_Base_IsReference((GenAttrHandle*)read),
        line, "reference");
  if (genattr_get_int(written, &wi)) {
    check(genattr_get_int(read, &ri) && wi == ri, line, "Int value");
  } else if (genattr_get_float(written, &wf)) {
    check(genattr_get_float(read, &rf) && memcmp(&wf, &rf, sizeof(wf)) == 0, line, "Float bits");
  } else if (genattr_get_double(written, &wd)) {
    check(genattr_get_double(read, &rd) && memcmp(&wd, &rd, sizeof(wd)) == 0, line, "Double bits");
  } else if (genattr_get_wide(written, &ww)) {
    check(genattr_get_wide(read, &rw) && wcscmp(ww, rw) == 0, line, "wide value");
  } else if (type == GENATTR_TYPE_PTR) {
    check(genattr_get_ptr(read, &rp) && rp == NULL, line, "Ptr value");
  } else if (type == GENATTR_TYPE_STRING) {
    check(same_text(QMV_GenAttr_String_GetValue((GenAttrHandle*)written),
                    QMV_GenAttr_String_GetValue((GenAttrHandle*)read)),
          line, "String value");
  } else if (type == GENATTR_TYPE_CONT) {
    check(same_text(QMV_GenAttr_Cont_GetId((GenAttrHandle*)written),
                    QMV_GenAttr_Cont_GetId((GenAttrHandle*)read)),
          line, "id");
  }
  check(genattr_count_children(written) == genattr_count_children(read), line, "children");
  for (; w != NULL && r != NULL; w = genattr_next_child(w), r = genattr_next_child(r)) {
    nodes += compare_trees(genattr_child_at(w), genattr_child_at(r), line);
  }
  return nodes;
}

static void test_typed(void) {
  const char* const path = "roundtrip.xml";
  GenAttrHandle* root = QMV_GenAttr_Create_Cont_Desc("Model", "");
  GenAttrHandle* part = QMV_GenAttr_Create_Cont("Part");
  GenAttrHandle* shared = QMV_GenAttr_Create_Double("Mass", 1.0 / 3.0);
  GenAttrHandle *read, *first, *second;
  int status = -1, x = 0;

  QMV_GenAttr_Cont_SetId(root, "");
  QMV_GenAttr_Cont_SetId(part, "P7");
  QMV_GenAttr_Base_AddAttr(root, part);
  QMV_GenAttr_Base_AddAttr(part, shared);
  QMV_GenAttr_Base_AddAttr(part, QMV_GenAttr_Create_Float("Ratio", 0.1f));
  QMV_GenAttr_Base_AddAttr(part, QMV_GenAttr_Create_Int("Count", -2147483647 - 1));
  QMV_GenAttr_Base_AddAttr(root, QMV_GenAttr_Create_Cont_Ref("PartRef", part));
  QMV_GenAttr_Base_AddAttr(root, shared); /* the same node under two parents */
  QMV_GenAttr_Base_AddAttr(root, QMV_GenAttr_Create_String_Desc("a b", "<&>", "x\ty"));
  QMV_GenAttr_Base_AddAttr(root, QMV_GenAttr_Create_UnicodeString("Wide", L"\u00e9\U0001F600"));
  QMV_GenAttr_Base_AddAttr(root, QMV_GenAttr_Create_Ptr("Where", &x));

  remove(path);
  CHECK(genattr_write_xml_file(root, path, 1) == 0);
  read = genattr_read_xml_file(path, &status);
  CHECK(status == 0 && read != NULL);
  if (read != NULL) {
    CHECK(compare_trees(root, read, __LINE__) == 13);
    /* One node linked twice comes back as one node with two links. */
    first = QMV_GenAttr_Base_GetAttrByPath(read, "Part/Mass");
    second = QMV_GenAttr_Base_GetAttr(read, "Mass");
    CHECK(first != NULL && first == second && genattr_get_refcount(first) == 2);
    genattr_unref(read);
  }
  genattr_unref(root);
}

static void test_statuses(void) {
  const char* const listing = "roundtrip.txt";
  GenAttrHandle* root = QMV_GenAttr_Create_Cont("Model");
  int status = -1;

  CHECK(genattr_read_xml_file("no-such-directory/x.xml", &status) == NULL && status == 1);
  status = -1;
  CHECK(genattr_read_xml_file(NULL, &status) == NULL && status == 1);
  /* A text listing is no XML. */
  CHECK(genattr_write_text_file(root, listing) == 0);
  status = -1;
  CHECK(genattr_read_xml_file(listing, &status) == NULL && status == 2);
  CHECK(genattr_read_xml_file(listing, NULL) == NULL);
  genattr_unref(root);
}

int main(int argc, char** argv) {
  static const struct test_group groups[] = {{"typed", test_typed}, {"statuses", test_statuses}};
  return run_test_group(argc, argv, groups, sizeof(groups) / sizeof(groups[0]));
}
