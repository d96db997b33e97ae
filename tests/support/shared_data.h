// Where tests find their data: the project's own examples, and the real
// third-party models and photos kept beside the repository (absent in a
// user's clone; tests that need them skip and say why).
#pragma once

#include <string>

// The repository's root folder.
std::string sourceDir();

// The folder of real models, or empty when it is not there.
std::string sharedModelsDir();
// The folder of real photos, or empty when it is not there.
std::string sharedPicturesDir();

// The reason to give when the shared folder is missing.
std::string sharedDataMissingReason();
