#include "runtime/services/TextColumn.h"

namespace rt {

void TextColumn::append(QStringView text)
{
    spans_.push_back({quint32(text_.size()), quint32(text.size())});
    text_.append(text);
}

QStringView TextColumn::view(qsizetype k) const
{
    const Span span = spans_.at(k);
    return QStringView(text_).mid(span.start, span.length);
}

QString TextColumn::at(qsizetype k) const { return view(k).toString(); }

void TextColumn::set(qsizetype k, QStringView text)
{
    Span &span = spans_[k];
    if (text.size() <= qsizetype(span.length)) {
        // Written over its old place.
        text_.replace(span.start, text.size(), text.data(), text.size());
        unused_ += span.length - text.size();
        span.length = quint32(text.size());
    } else {
        unused_ += span.length;
        span = {quint32(text_.size()), quint32(text.size())};
        text_.append(text);
    }
    if (unused_ > text_.size() / 2)
        compact();
}

void TextColumn::clear()
{
    text_ = QString();
    spans_ = {};
    unused_ = 0;
}

void TextColumn::compact()
{
    QString text;
    text.reserve(text_.size() - unused_);
    for (Span &span : spans_) {
        const quint32 start = quint32(text.size());
        text.append(QStringView(text_).mid(span.start, span.length));
        span.start = start;
    }
    text_ = std::move(text);
    unused_ = 0;
}

}  // namespace rt
