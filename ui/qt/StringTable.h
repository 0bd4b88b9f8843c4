#pragma once
#include <QString>

// The program's string table: every message text, looked up by its number
// (IDS_..., the application title and idle text 57344/57345, and the one-line
// descriptions of the Tools commands). An unknown number gives an empty string.
QString LoadKvString(int id);
