#include "description/picture_fit.h"

const char *pictureFitName(PictureFit fit)
{
    switch (fit) {
    case PictureFit::CentreCrop:
        return "crop";
    case PictureFit::Stretch:
        return "stretch";
    case PictureFit::Letterbox:
        return "letterbox";
    }
    return "crop";
}

std::optional<PictureFit> pictureFitNamed(const std::string &name)
{
    for (PictureFit fit : {PictureFit::CentreCrop, PictureFit::Stretch, PictureFit::Letterbox})
        if (name == pictureFitName(fit))
            return fit;
    return std::nullopt;
}
