#include "store/schema.h"

namespace unitarc::schema {

const Category* category(int kind) {
    for (const Category& c : categories)
        if (c.kind == kind) return &c;
    return nullptr;
}

const Category* categoryByCode(std::string_view code) {
    for (const Category& c : categories)
        if (c.code == code) return &c;
    return nullptr;
}

const Category* categoryByTable(std::string_view table) {
    for (const Category& c : categories)
        if (c.table == table) return &c;
    return nullptr;
}

const Table* entityTable(std::string_view name) {
    for (const Table& t : entityTables)
        if (t.name == name) return &t;
    return nullptr;
}

const Table* hostTable(std::string_view name) {
    for (const Table& t : hostTables)
        if (t.name == name) return &t;
    return nullptr;
}

}  // namespace unitarc::schema
