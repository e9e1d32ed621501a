#include "cast_generator.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillonde::bench {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

void pad_to(std::string& line, std::size_t width, const char* text)
{
    const std::size_t length = std::char_traits<char>::length(text);
    if (length < width) {
        line.append(width - length, ' ');
    }
    line += text;
}

} // namespace

void write_cast(const std::string& path, const CastShape& shape)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        throw std::runtime_error("cannot write " + path);
    }
    const std::string eol = shape.crlf ? "\r\n" : "\n";
    std::vector<std::string> names = {"Press", "Temp", "Cond", "SALIN", "SIGMA", "SOUND"};
    for (int extra = 1; static_cast<int>(names.size()) + 1 < shape.columns; ++extra) {
        names.push_back("Ch" + std::to_string(extra));
    }

    std::string text = "SSDA Sea & Sun Technology's Standard Data Acquisition (synthetic cast)" + eol;
    text += "  Position :  Lat.:  054 20.32' N      Lon.:  011 41.48' E" + eol + eol;
    text += "001 CTP055 002  P  Press  dbar -5.24446000000E+0000  1.78344000000E-0003" + eol + eol;
    text += "Lines :" + std::string(8, ' ') + std::to_string(shape.rows) + eol + ";" + eol;
    std::string header = "; Datasets";
    std::string units = ";          ";
    for (const std::string& name : names) {
        pad_to(header, 8, name.c_str());
        pad_to(units, 8, "[ unit]");
    }
    text += header + eol + units + eol + ";" + eol;
    std::fwrite(text.data(), 1, text.size(), file.get());

    std::mt19937 random(shape.seed);
    std::normal_distribution<double> noise(0.0, 0.01);
    const double down_rows = 0.7 * shape.rows;
    std::string line;
    char number[32];
    for (std::int64_t row_number = 1; row_number <= shape.rows; row_number += shape.row_step) {
        const auto row = static_cast<std::int32_t>(row_number);
        const double progress =
            row <= down_rows ? row / down_rows : (shape.rows - row) / (shape.rows - down_rows);
        const double pressure = std::max(0.0, shape.deepest_dbar * progress + noise(random));
        const double temperature = 4.0 + 14.0 * std::exp(-pressure / 80.0) + noise(random);
        const double salinity = 35.0 - 3.0 * std::exp(-pressure / 50.0) + noise(random);
        const double conductivity = 30.0 + 0.9 * temperature + noise(random);
        const double values[] = {pressure,
                                 temperature,
                                 conductivity,
                                 salinity,
                                 27.0 - temperature / 4.0,
                                 1450.0 + 4.2 * temperature + 0.016 * pressure};
        line.clear();
        std::snprintf(number, sizeof number, "%d", row);
        pad_to(line, 11, number);
        for (std::size_t k = 0; k < names.size(); ++k) {
            const double value = k < std::size(values) ? values[k] : 1.0 + 0.001 * static_cast<double>(k);
            std::snprintf(number, sizeof number, k == 5 ? "%.2f" : "%.3f", value);
            pad_to(line, 8, number);
        }
        line += eol;
        if (std::fwrite(line.data(), 1, line.size(), file.get()) != line.size()) {
            throw std::runtime_error("cannot write " + path);
        }
    }
}

} // namespace quillonde::bench
