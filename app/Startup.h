#pragma once
#include <QString>

// Creates the data module and every window once, in the program's order,
// with the data module working on dataDir. An error while the data module
// opens the tables is shown in the error box and start-up goes on.
void createApplication(const QString &dataDir);
// Destroys them again (tests build and tear down the whole set).
void destroyApplication();
