#pragma once
// The folder the program keeps its own files in (autost.qvm, autost.aqv ...):
// KELVANE_HOME when set, else the per-user application data folder. It is
// created when missing.

#include <QString>

QString programFolder();
// A file in the program folder.
QString programFile(const QString& name);
