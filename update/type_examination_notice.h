#pragma once

// The notice about the type-examination certificate that must be accepted
// before a detector is updated: the GUI shows it in its warning window, the
// command-line tool prints it unless told that it was accepted. English and
// German paragraph, separated by an empty line, in UTF-8.

namespace vek {

inline constexpr char kTypeExaminationNotice[] =
    "The 7. Supplement to the EC-Type Examination Certificate (measuring function for explosion protection) "
    "covers only gas detectors with software version 3.44 and not gas detectors with software version 3.45 or "
    "newer.\n\n"
    "Der 7. Nachtrag zur EG-Baumusterpr\u00fcfbescheinigung (Messfunktion f\u00fcr den Explosionsschutz) gilt nur "
    "f\u00fcr Ger\u00e4te mit Software Version 3.44 und nicht f\u00fcr Ger\u00e4te mit Software Version 3.45 oder "
    "neuer.";

}  // namespace vek
