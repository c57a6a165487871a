#include "tests/Cp936.h"

#include <iconv.h>

#include <stdexcept>
#include <vector>

namespace {
std::string Convert(const std::string& text, const char* to, const char* from)
{
    const iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("iconv cannot convert between code page 936 and UTF-8");
    std::vector<char> input(text.begin(), text.end());
    std::vector<char> output(text.size() * 2 + 4);
    char* in = input.data();
    char* out = output.data();
    std::size_t inLeft = input.size();
    std::size_t outLeft = output.size();
    const std::size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    if (result == static_cast<std::size_t>(-1))
        throw std::runtime_error("text is not valid in its code page: " + text);
    return std::string(output.data(), out);
}
}  // namespace

std::string ToCp936(const std::string& utf8)
{
    return Convert(utf8, "CP936", "UTF-8");
}

std::string FromCp936(const std::string& cp936)
{
    return Convert(cp936, "UTF-8", "CP936");
}
