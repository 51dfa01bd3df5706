#pragma once
// Resource identifiers shared by vantrel.rc and the code. Plain macros, because the resource
// compiler reads this file too.

// The program icon; id 1 so that the shell shows it for the executable.
#define IDI_MAINICON 1
// The about window's logo, 161 x 121.
#define IDB_LOGO 100
// Visual styles are resources of this type; the code finds one by the name written inside it.
#define VANTREL_STYLE_TYPE L"VANTRELSTYLE"
#define IDS_STYLE_ICEBERG_CLASSICO 200
