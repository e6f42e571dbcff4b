/* A minimal C host: builds a small tree through the flat interface, looks a
 * value up, writes the tree as a plain-text listing and releases it.
 *
 * Usage: minimal_c_host [output-file]   (default: minimal_c_host.txt) */
#include <stdio.h>

#include <genattr/genattr_c.h>
#include <genattr/genattr_c_ext.h>

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : "minimal_c_host.txt";
  char date[12];
  char time[9];
  GenAttrHandle* root;
  GenAttrHandle* part;
  GenAttrHandle* count;
  int status;

  QMV_GenAttr_GetBuildDateTime(date, time);
  printf("genattr built %s %s\n", date, time);

  root = QMV_GenAttr_Create_Cont_Desc("Model", "assembly root");
  QMV_GenAttr_Cont_SetId(root, "M1");
  part = QMV_GenAttr_Create_Cont("Part");
  QMV_GenAttr_Cont_SetId(part, "P7");
  QMV_GenAttr_Base_AddAttr(root, part);
  QMV_GenAttr_Base_AddAttr(part, QMV_GenAttr_Create_Double("Mass", 12.5));
  QMV_GenAttr_Base_AddAttr(part, QMV_GenAttr_Create_Int("Count", 3));
  QMV_GenAttr_Base_AddAttr(root, QMV_GenAttr_Create_String_Desc("Material", "surface", "Steel"));
  QMV_GenAttr_Base_AddAttr(root, QMV_GenAttr_Create_Cont_Ref("PartRef", part));

  count = QMV_GenAttr_Base_GetAttrByPath(root, "Part/Count");
  if (count == NULL || QMV_GenAttr_Int_GetValue(count) != 3) {
    fprintf(stderr, "lookup failed\n");
    genattr_unref(root);
    return 1;
  }
  QMV_GenAttr_Int_SetValue(count, 4);

  status = QMV_GenAttr_WriteToFile(root, path);
  /* The root is unlinked (count 0): one unref releases the whole tree. */
  genattr_unref(root);
  if (status != 0) {
    fprintf(stderr, "cannot write %s (status %d)\n", path, status);
    return 1;
  }
  printf("wrote %s\n", path);
  return 0;
}
