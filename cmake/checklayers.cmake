# Nothing outside store/ may reach an engine directly: no SQLite or Qt SQL header, no engine call,
# no statement only SQLite understands. Run by the build (target check_layers); a hit fails it.
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}
     ${SOURCE_DIR}/*.cpp ${SOURCE_DIR}/*.h)
set(patterns
    "#include[ \t]*[<\"]sqlite3"
    "#include[ \t]*[<\"]QSql"
    "#include[ \t]*[<\"]QtSql"
    "#include[ \t]*[<\"]libpq"
    "sqlite3_[a-z_]+\\("
    "QSqlDatabase|QSqlQuery"
    "[Pp][Rr][Aa][Gg][Mm][Aa] [a-z_]+"
    "sqlite_master"
    "last_insert_rowid"
)
set(failed "")
foreach(source ${sources})
    if(source MATCHES "^(store|tests|build[^/]*|debian|obj-[^/]*)/")
        continue()
    endif()
    file(STRINGS ${SOURCE_DIR}/${source} lines)
    set(n 0)
    foreach(line IN LISTS lines)
        math(EXPR n "${n} + 1")
        if(line MATCHES "^#pragma once")
            continue()
        endif()
        foreach(pattern ${patterns})
            if(line MATCHES "${pattern}")
                string(APPEND failed "${source}:${n}: ${line}\n")
            endif()
        endforeach()
    endforeach()
endforeach()
if(failed)
    message(FATAL_ERROR "Only store/ may speak to a database engine directly:\n${failed}")
endif()
