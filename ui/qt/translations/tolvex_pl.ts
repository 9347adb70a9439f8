<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pl_PL">
<context>
    <name>Booleans</name>
    <message>
        <source>True</source>
        <translation>Prawda</translation>
    </message>
    <message>
        <source>False</source>
        <translation>Fałsz</translation>
    </message>
</context>
</TS>
