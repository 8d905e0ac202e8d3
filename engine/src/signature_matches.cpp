// Before step 1: every engine signature searched in one pass over the code.
#include "lkm/signature_matches.hpp"

#include <string>
#include <vector>

namespace lkm {

SignatureMatches searchSignatures(const Image& image) {
    std::vector<std::string> texts;
    for (const signature::Listed& listed : signature::all) texts.push_back(listed.text);
    return SignatureMatches(image.findEach(texts));
}

} // namespace lkm
