/* The plain-text listing of the README's model tree (writertest::MakeModelTree()
 * and the C tests' own build of it), which the C and the C++ writer tests both
 * expect byte for byte. Plain C, for both. */
#ifndef GENATTR_TESTS_SUPPORT_MODELLISTING_H
#define GENATTR_TESTS_SUPPORT_MODELLISTING_H

static const char kModelListing[] =
    "-------------------------------------------------\n"
    "Name: Model               Id: M1  (Type: Cont)\n"
    "  Name: Material            Value: Steel (Description: surface material)  (Type: String)\n"
    "  Name: Part                Id: P7  (Type: Cont)\n"
    "    Name: Mass                Value: 12.5000  (Type: Double)\n"
    "    Name: Count               Value: 3  (Type: Int)  (RefCount: 2)\n"
    "  Name: Count               Value: 3  (Type: Int)  (RefCount: 2)\n"
    "  Name: PartRef             RefId: P7  (Type: Cont)\n"
    "  Name: Color               Value: red & blue  (Type: String)\n"
    "    Name: Alpha               Value: 255  (Type: Int)\n";

#endif /* GENATTR_TESTS_SUPPORT_MODELLISTING_H */
