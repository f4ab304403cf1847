#pragma once

#include <QByteArray>
#include <QString>

#include <pugixml.hpp>

#include <cstring>
#include <string_view>

// Small helpers over pugixml, which knows nothing of namespaces: elements and
// attributes are matched by local name (the part after the prefix), and prefixes are
// resolved from the xmlns declarations in scope where a namespace matters.
namespace pictrove::word::xml {

inline std::string_view localName(const char* qualified) {
    const char* colon = std::strrchr(qualified, ':');
    return colon ? std::string_view(colon + 1) : std::string_view(qualified);
}
inline std::string_view localName(const pugi::xml_node& n) {
    return localName(n.name());
}
inline std::string_view localName(const pugi::xml_attribute& a) {
    return localName(a.name());
}
inline std::string_view prefixOf(const char* qualified) {
    const char* colon = std::strchr(qualified, ':');
    return colon ? std::string_view(qualified, size_t(colon - qualified)) : std::string_view();
}

inline bool is(const pugi::xml_node& n, std::string_view local) {
    return n.type() == pugi::node_element && localName(n) == local;
}

// First child element of the given local name.
inline pugi::xml_node child(const pugi::xml_node& n, std::string_view local) {
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
        if (is(c, local))
            return c;
    }
    return {};
}

// First element of the given local name below n (depth first, document order), at most
// maxDepth levels down.
inline pugi::xml_node descendant(const pugi::xml_node& n, std::string_view local,
                                 int maxDepth = 64) {
    if (maxDepth <= 0)
        return {};
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element)
            continue;
        if (localName(c) == local)
            return c;
        if (pugi::xml_node d = descendant(c, local, maxDepth - 1))
            return d;
    }
    return {};
}

// Attribute by local name, whatever its prefix; "" when absent.
inline const char* attr(const pugi::xml_node& n, std::string_view local) {
    for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
        if (localName(a) == local)
            return a.value();
    }
    return "";
}
inline bool hasAttr(const pugi::xml_node& n, std::string_view local) {
    for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
        if (localName(a) == local)
            return true;
    }
    return false;
}

// Namespace URI bound to `prefix` where n stands ("" when unbound).
inline std::string_view namespaceOf(pugi::xml_node n, std::string_view prefix) {
    std::string decl = prefix.empty() ? std::string("xmlns") : "xmlns:" + std::string(prefix);
    for (; n; n = n.parent()) {
        if (pugi::xml_attribute a = n.attribute(decl.c_str()))
            return a.value();
    }
    return {};
}

inline QString qs(const char* s) {
    return QString::fromUtf8(s);
}

// Parses XML bytes into doc; on failure returns false and sets `why`.
inline bool parse(pugi::xml_document& doc, const QByteArray& bytes, const QString& partName,
                  QString& why) {
    const pugi::xml_parse_result r = doc.load_buffer(bytes.constData(), size_t(bytes.size()),
                                                     pugi::parse_default, pugi::encoding_auto);
    if (!r) {
        why = QStringLiteral("%1 is not well-formed XML (%2 at byte %3)")
                  .arg(partName, QString::fromUtf8(r.description()))
                  .arg(r.offset);
        return false;
    }
    return true;
}

}  // namespace pictrove::word::xml
