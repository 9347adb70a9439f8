<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="nl_NL">
<context>
    <name>Booleans</name>
    <message>
        <source>True</source>
        <translation>Waar</translation>
    </message>
    <message>
        <source>False</source>
        <translation>Onwaar</translation>
    </message>
</context>
</TS>
