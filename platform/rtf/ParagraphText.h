#pragma once

#include <QStringView>

#include <algorithm>
#include <memory>

namespace platform::rtf {

// The text of the paragraph being read, collected a character or a stretch at
// a time. Appending a character is a store and a compare, where a QString's
// append is a call that checks sharing and keeps a terminator; a paragraph's
// runs are handed to the document as views of it. The memory is kept from
// one paragraph to the next.
class ParagraphText {
public:
    qsizetype size() const { return m_size; }
    char16_t *data() { return m_data.get(); }
    void clear() { m_size = 0; }

    void append(char16_t c)
    {
        if (m_size == m_capacity)
            reserveMore(1);
        m_data[m_size++] = c;
    }
    void append(QStringView text)
    {
        char16_t *to = extend(text.size());
        std::copy(text.utf16(), text.utf16() + text.size(), to);
    }
    // Bytes that are Latin-1 characters.
    void appendLatin1(const char *text, qsizetype length)
    {
        char16_t *to = extend(length);
        for (qsizetype i = 0; i < length; ++i)
            to[i] = static_cast<unsigned char>(text[i]);
    }

    // The characters from `from` on, `length` of them.
    QStringView view(qsizetype from, qsizetype length) const
    {
        return QStringView(m_data.get() + from, length);
    }

private:
    // Room for `length` more characters, counted in; returns where they go.
    char16_t *extend(qsizetype length)
    {
        if (m_capacity - m_size < length)
            reserveMore(length);
        char16_t *to = m_data.get() + m_size;
        m_size += length;
        return to;
    }
    void reserveMore(qsizetype length)
    {
        const qsizetype capacity = std::max<qsizetype>({256, m_capacity * 2, m_size + length});
        auto data = std::make_unique_for_overwrite<char16_t[]>(size_t(capacity));
        std::copy(m_data.get(), m_data.get() + m_size, data.get());
        m_data = std::move(data);
        m_capacity = capacity;
    }

    std::unique_ptr<char16_t[]> m_data;
    qsizetype m_size = 0;
    qsizetype m_capacity = 0;
};

} // namespace platform::rtf
