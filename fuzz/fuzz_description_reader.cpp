// Arbitrary bytes as an NN description file: readDescription either fills the
// record or throws std::runtime_error; nothing else may happen.
#include "description/description_reader.h"
#include "description/nn_description.h"

#include "fuzz_input_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

namespace {

// What the reader promises about a record it filled without failing.
void checkDescription(const NnDescription &description)
{
    if (description.model.empty())
        std::abort(); // an element without text counts as missing
    switch (description.neural_network) {
    case NetworkKind::Classifier:
    case NetworkKind::Yolo2:
    case NetworkKind::Yolo3:
    case NetworkKind::Yolo5:
        if (description.labels.empty())
            std::abort();
        for (const std::string &label : description.labels)
            if (label.empty() || label == "\t" || label.find('\n') != std::string::npos)
                std::abort();
        break;
    case NetworkKind::Unet:
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static FuzzInputFile file(".xml");
    const std::string &path = file.write(data, size);
    NnDescription description;
    try {
        readDescription(description, path);
    } catch (const std::runtime_error &) {
        return 0;
    }
    checkDescription(description);
    return 0;
}
