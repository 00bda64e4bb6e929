// What an EntityObserver sees of a drawing while it is read, held to what
// reading the finished document gives: each entity's tags as a TagReader
// reads its text (and a real read with it as ParseReal reads it), and its
// shape as ShapeOf(doc, i) reads it.
#pragma once

#include "tools/dxf/DxfDocument.h"
#include "tools/dxf/DxfEntities.h"
#include "tools/dxf/DxfTags.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace dxftest {

inline void ExpectObservedAsRead(const std::string& bytes) {
    std::vector<std::vector<dxf::Tag>> seen;
    std::vector<dxf::Shape> shapes;
    const dxf::Document doc = dxf::Document::Parse(
        bytes, [&](const dxf::Document& d, std::size_t i, std::span<const dxf::Tag> tags) {
            ASSERT_EQ(i, seen.size());
            seen.emplace_back(tags.begin(), tags.end());
            shapes.push_back(dxf::ShapeOf(d, i, tags));
        });
    ASSERT_EQ(seen.size(), doc.EntityCount());
    for (std::size_t i = 0; i < doc.EntityCount(); ++i) {
        SCOPED_TRACE("entity at line " + std::to_string(doc.EntityLine(i)));
        dxf::TagReader reader(doc.EntityText(i));
        const std::size_t offset = doc.EntityOffset(i);
        dxf::Tag tag;
        std::size_t k = 0;
        for (; reader.Next(tag); ++k) {
            ASSERT_LT(k, seen[i].size());
            const dxf::Tag& s = seen[i][k];
            ASSERT_EQ(s.code, tag.code);
            ASSERT_EQ(s.value, tag.value);
            ASSERT_EQ(s.begin, tag.begin + offset);
            ASSERT_EQ(s.valueBegin, tag.valueBegin + offset);
            ASSERT_EQ(s.end, tag.end + offset);
            if (s.real) {
                ASSERT_EQ(s.real, dxf::ParseReal(tag.value));
            }
        }
        ASSERT_EQ(k, seen[i].size());
        const dxf::Shape read = dxf::ShapeOf(doc, i);
        ASSERT_EQ(shapes[i].refusal, read.refusal);
        EXPECT_EQ(shapes[i].detail, read.detail);
        EXPECT_EQ(shapes[i].mirrored, read.mirrored);
        EXPECT_TRUE(shapes[i].geometry == read.geometry);
    }
}

}  // namespace dxftest
