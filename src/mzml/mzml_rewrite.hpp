// A copy of an mzML document with the m/z values of its spectra mapped
// through a function. The copy is the original text with only the m/z
// arrays (their data, encodedLength and number type) replaced, and, in an
// indexed document, the index offsets and the file checksum recomputed.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace masscal::dm {

using MassMapping = std::function<double(double)>;
// Maps the m/z values of the spectrum at a position of the spectrum list
// (from 0) in place; the values come in the file's order. Called from
// several threads at once, for different spectra.
using ArrayMapping = std::function<void(std::size_t spectrum, std::vector<double>& mz)>;
// Whether the spectrum at a position of the spectrum list (from 0) is to be
// rewritten; the others are copied as they are. Called from several threads
// at once.
using SpectrumFilter = std::function<bool(std::size_t)>;

// Writes the copy of text into out and the number of spectra whose m/z
// array was replaced into rewritten. Empty arrays are left as they are;
// replaced arrays hold 64-bit floats, compressed as before. false with a
// one-line message in error (out is then unspecified) when the document is
// not mzML, an m/z array cannot be decoded or changed, a mapped value is not
// a finite number, or the index cannot be recomputed.
bool rewrite_mzml(std::string_view text, const MassMapping& map, std::string& out, std::size_t& rewritten,
                  std::string& error, const SpectrumFilter& wanted = {});
bool rewrite_mzml(std::string_view text, const ArrayMapping& map, std::string& out, std::size_t& rewritten,
                  std::string& error, const SpectrumFilter& wanted = {});

// The same from the file in (plain or gzip) to the file out, which is
// replaced atomically and only when the whole copy succeeded; a name ending
// in ".gz" asks for a gzip copy. error is a whole line naming the file.
bool rewrite_mzml_file(const std::string& in, const std::string& out, const ArrayMapping& map,
                       std::size_t& rewritten, std::string& error, const SpectrumFilter& wanted = {});

}  // namespace masscal::dm
