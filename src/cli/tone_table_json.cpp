// The per-tone JSON document, written as it is walked: a dense sweep has
// thousands of tones of some thirty fields each, and a document tree of them
// (a string and an allocation per key) cost more than the writing itself.
// Every value goes through nlohmann's own serializer at the depth it lies
// at, so the text is the very text that dump(2) gives for the same tree.
#include <string>
#include <utility>
#include <vector>

#include "cli/tone_table.h"

namespace auralyn::cli {
namespace {

using Json = nlohmann::ordered_json;
using Serializer = nlohmann::detail::serializer<Json>;

constexpr unsigned kIndentStep = 2;

// A row's fields: each name once, where it first comes, with the value of the
// last column of that name (what assigning them one by one to an object does).
struct RowField {
    std::string name;
    const ToneColumn* column = nullptr;
};

std::vector<RowField> rowFields(const std::vector<ToneColumn>& columns) {
    std::vector<RowField> fields;
    for (const ToneColumn& column : columns) {
        bool seen = false;
        for (RowField& field : fields) {
            if (field.name != column.name) continue;
            field.column = &column;
            seen = true;
        }
        if (!seen) fields.push_back({column.name, &column});
    }
    return fields;
}

class DocumentWriter {
public:
    explicit DocumentWriter(std::string& out) : out_(out), serializer_(nlohmann::detail::output_adapter<char, std::string>(out), ' ') {}

    // `"key": ` at the given depth, the key escaped as the serializer escapes it.
    void key(const std::string& name, unsigned indent) {
        out_.append(indent, ' ');
        serializer_.dump(Json(name), false, false, 0);
        out_ += ": ";
    }

    void value(const Json& value, unsigned indent) { serializer_.dump(value, true, false, kIndentStep, indent); }

    void row(const std::vector<RowField>& fields, const analysis::ToneMeasurement& tone, unsigned indent) {
        bracketed('{', '}', fields.size(), indent, [&](std::size_t f, unsigned inner) {
            key(fields[f].name, inner);
            value(jsonValue(*fields[f].column, tone), inner);
        });
    }

    void tones(const std::vector<RowField>& fields, const std::vector<analysis::ToneMeasurement>& tones, unsigned indent) {
        bracketed('[', ']', tones.size(), indent, [&](std::size_t t, unsigned inner) {
            out_.append(inner, ' ');
            row(fields, tones[t], inner);
        });
    }

private:
    // An object or an array laid out as dump(2) lays it out: "{}" or "[]" when
    // empty, otherwise one item a line, one step deeper, separated by commas,
    // and the closing bracket back at `indent`.
    template <typename WriteItem>
    void bracketed(char open, char close, std::size_t count, unsigned indent, WriteItem writeItem) {
        out_ += open;
        if (count == 0) {
            out_ += close;
            return;
        }
        out_ += '\n';
        const unsigned inner = indent + kIndentStep;
        for (std::size_t i = 0; i < count; ++i) {
            if (i != 0) out_ += ",\n";
            writeItem(i, inner);
        }
        out_ += '\n';
        out_.append(indent, ' ');
        out_ += close;
    }

    std::string& out_;
    Serializer serializer_;
};

// Room for the whole text up front: growing a string of megabytes by doubling
// copies it and touches fresh pages each time.
std::size_t expectedLength(std::size_t tones, std::size_t fields) { return 4096 + tones * (16 + fields * 40); }

}  // namespace

std::string toneTableJson(const std::vector<SummaryField>& summary, const std::vector<ToneColumn>& columns,
                          const std::vector<analysis::ToneMeasurement>& tones) {
    // The summary's few fields as an object first: a name given twice keeps
    // its first place and its last value, as it always has.
    Json head = Json::object();
    for (const SummaryField& field : summary) head[field.first] = field.second;
    const std::vector<RowField> fields = rowFields(columns);

    std::string text;
    text.reserve(expectedLength(tones.size(), fields.size()));
    DocumentWriter writer(text);
    text += "{\n";
    bool tonesWritten = false;
    for (const auto& [name, value] : head.items()) {
        writer.key(name, kIndentStep);
        // A summary field named "tones" gives its place to the tones.
        if (name == "tones") {
            writer.tones(fields, tones, kIndentStep);
            tonesWritten = true;
        } else {
            writer.value(value, kIndentStep);
        }
        text += ",\n";
    }
    if (tonesWritten) {
        text.resize(text.size() - 2);
    } else {
        writer.key("tones", kIndentStep);
        writer.tones(fields, tones, kIndentStep);
    }
    text += "\n}\n";
    return text;
}

}  // namespace auralyn::cli
