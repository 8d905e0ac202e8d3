// Before step 1: every engine signature searched in one pass over the code.
#include <string>
#include <vector>

#include "lkm/signatures.hpp"
#include "recognition.hpp"

namespace lkm::recognition {

Matches findSignatures(const Image& image) {
    std::vector<std::string> texts;
    for (const signature::Listed& listed : signature::all) texts.push_back(listed.text);
    return Matches(image.findEach(texts));
}

} // namespace lkm::recognition
