<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>Booleans</name>
    <message>
        <source>True</source>
        <translation>Истина</translation>
    </message>
    <message>
        <source>False</source>
        <translation>Ложь</translation>
    </message>
</context>
</TS>
