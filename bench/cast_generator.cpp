#include "cast_generator.h"

#include <algorithm>
#include <array>
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

/// The values of a synthetic probe going down over 70 % of the rows and up again: pressure,
/// temperature, conductivity [mS/cm], salinity, sigma-t and sound speed, with a little noise.
class Probe {
public:
    explicit Probe(const CastShape& shape) : shape_(shape), random_(shape.seed), down_rows_(0.7 * shape.rows)
    {
    }

    std::array<double, 6> values(std::int32_t row)
    {
        const double progress =
            row <= down_rows_ ? row / down_rows_ : (shape_.rows - row) / (shape_.rows - down_rows_);
        const double pressure = std::max(0.0, shape_.deepest_dbar * progress + noise_(random_));
        const double temperature = 4.0 + 14.0 * std::exp(-pressure / 80.0) + noise_(random_);
        const double salinity = 35.0 - 3.0 * std::exp(-pressure / 50.0) + noise_(random_);
        const double conductivity = 30.0 + 0.9 * temperature + noise_(random_);
        return {pressure,
                temperature,
                conductivity,
                salinity,
                27.0 - temperature / 4.0,
                1450.0 + 4.2 * temperature + 0.016 * pressure};
    }

private:
    const CastShape& shape_;
    std::mt19937 random_;
    std::normal_distribution<double> noise_{0.0, 0.01};
    double down_rows_;
};

FILE* open_for_writing(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        throw std::runtime_error("cannot write " + path);
    }
    return file;
}

} // namespace

void write_cast(const std::string& path, const CastShape& shape)
{
    std::unique_ptr<std::FILE, FileCloser> file(open_for_writing(path));
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

    Probe probe(shape);
    std::string line;
    char number[32];
    for (std::int64_t row_number = 1; row_number <= shape.rows; row_number += shape.row_step) {
        const auto row = static_cast<std::int32_t>(row_number);
        const std::array<double, 6> values = probe.values(row);
        line.clear();
        std::snprintf(number, sizeof number, "%d", row);
        pad_to(line, 11, number);
        for (std::size_t k = 0; k < names.size(); ++k) {
            const double value = k < values.size() ? values[k] : 1.0 + 0.001 * static_cast<double>(k);
            std::snprintf(number, sizeof number, k == 5 ? "%.2f" : "%.3f", value);
            pad_to(line, 8, number);
        }
        line += eol;
        if (std::fwrite(line.data(), 1, line.size(), file.get()) != line.size()) {
            throw std::runtime_error("cannot write " + path);
        }
    }
}

void write_cnv(const std::string& path, const CastShape& shape)
{
    std::unique_ptr<std::FILE, FileCloser> file(open_for_writing(path));
    const std::string eol = shape.crlf ? "\r\n" : "\n";
    // The same columns as write_cast's, under Sea-Bird's names, conductivity in S/m, and the flag.
    std::vector<std::string> names = {"prDM: Pressure, Digiquartz [db]",
                                      "t090C: Temperature [ITS-90, deg C]",
                                      "c0S/m: Conductivity [S/m]",
                                      "sal00: Salinity, Practical [PSU]",
                                      "sigma-t00: Density [sigma-t, kg/m^3]",
                                      "svCM: Sound Velocity [Chen-Millero, m/s]"};
    for (int extra = 1; static_cast<int>(names.size()) + 1 < shape.columns; ++extra) {
        names.push_back("user" + std::to_string(extra) + ": User Polynomial, " + std::to_string(extra));
    }
    names.push_back("flag: flag");
    std::string text = "* Sea-Bird SBE 9 Data File:" + eol + "* NMEA Latitude = 54 20.32 N" + eol +
                       "* NMEA Longitude = 011 41.48 E" + eol + "# nquan = " + std::to_string(names.size()) +
                       eol + "# nvalues = " + std::to_string((shape.rows - 1) / shape.row_step + 1) + eol;
    for (std::size_t k = 0; k < names.size(); ++k) {
        text += "# name " + std::to_string(k) + " = " + names[k] + eol;
    }
    text += "# bad_flag = -9.990e-29" + eol + "# file_type = ascii" + eol + "*END*" + eol;
    std::fwrite(text.data(), 1, text.size(), file.get());

    Probe probe(shape);
    std::string line;
    char number[32];
    for (std::int64_t row_number = 1; row_number <= shape.rows; row_number += shape.row_step) {
        std::array<double, 6> values = probe.values(static_cast<std::int32_t>(row_number));
        values[2] /= 10.0; // mS/cm to S/m
        line.clear();
        for (std::size_t k = 0; k + 1 < names.size(); ++k) {
            const double value = k < values.size() ? values[k] : 1.0 + 0.001 * static_cast<double>(k);
            std::snprintf(number, sizeof number, k == 2 ? "%11.6f" : k == 5 ? "%11.2f" : "%11.4f", value);
            line += number;
        }
        line += " 0.0000e+00" + eol;
        if (std::fwrite(line.data(), 1, line.size(), file.get()) != line.size()) {
            throw std::runtime_error("cannot write " + path);
        }
    }
}

} // namespace quillonde::bench
